"""Rules that answer, end to end over pseudo-terminal pairs: brivox-cli respond on one end
answering brivox-cli run and test on the other; brivox-devsim --port serving its MODBUS slave
to pymodbus, an independent master, through a pair; brivox-devsim --rules on its own terminal.

usage: responder_check.py BRIVOX_CLI BRIVOX_DEVSIM
"""
import os
import runpy
import select
import signal
import subprocess
import sys
import tempfile
import threading
import time
import tty
import types

import serial
from pymodbus.client import ModbusSerialClient
from pymodbus.framer.rtu_framer import ModbusRtuFramer


def load_sibling(name):
    """A check script beside this one, whose master checks this one reuses."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), name + ".py")
    return types.SimpleNamespace(**runpy.run_path(path))


independent_master_check = load_sibling("independent_master_check")

SETTINGS = "9600,N,8,1"
RULES = """# a slave that answers one register, a device that answers slowly and a login prompt
rule read
match  01 03 ?? ?? 00 01 crc16-modbus
answer 01 03 02 $4 $3 crc16-modbus

rule ping
match  "ping"
answer "pong"
delay  200
count  2

rule login
match  "login:"
answer "root" 0D
mark   "login prompt seen"
"""

TESTS = """case read
modbus rtu --function 03 --slave 1 --start 0010 --length 1
expect-match 01 03 02 ?? ?? crc16-modbus

case wrong-function
modbus rtu --function 03 --slave 1 --start 0011 --length 1
expect-match 01 04 *
"""


class PtyPair:
    """Two terminals joined through their masters, as a null-modem cable joins two ports."""

    def __init__(self):
        self.ends = [os.openpty() for _ in range(2)]
        for _, slave in self.ends:
            tty.setraw(slave)
        self.paths = [os.ttyname(slave) for _, slave in self.ends]
        self.stop = os.pipe()
        self.thread = threading.Thread(target=self.relay, daemon=True)
        self.thread.start()

    def relay(self):
        a, b = self.ends[0][0], self.ends[1][0]
        while True:
            ready, _, _ = select.select([a, b, self.stop[0]], [], [])
            if self.stop[0] in ready:
                return
            for source, sink in ((a, b), (b, a)):
                if source in ready:
                    try:
                        os.write(sink, os.read(source, 4096))
                    except OSError:
                        pass  # no one has that end open yet

    def close(self):
        os.write(self.stop[1], b"x")
        self.thread.join()


def run(cli, path, script, timeout="1000"):
    start = time.monotonic()
    done = subprocess.run([cli, "run", "--port", path, "--settings", SETTINGS, "--timeout",
                           timeout, "--", script], capture_output=True, text=True)
    return done.returncode, time.monotonic() - start


def check_respond(cli, folder):
    rules = os.path.join(folder, "device.rules")
    with open(rules, "w") as f:
        f.write(RULES)
    tests = os.path.join(folder, "device.tests")
    with open(tests, "w") as f:
        f.write(TESTS)
    pair = PtyPair()
    responder = subprocess.Popen([cli, "respond", "--port", pair.paths[0], "--rules", rules,
                                  "--settings", SETTINGS, "--seconds", "60"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        assert "answering on" in responder.stderr.readline()
        master = pair.paths[1]
        assert run(cli, master, "01 03 00 10 00 01 85 CF <01 03 02 10 00 B5 84>")[0] == 0
        assert run(cli, master, "01 03 00 10 00 01 85 CE <01>", "300")[0] == 2  # bad CRC
        for _ in range(2):
            code, seconds = run(cli, master, '"ping" <"pong">')
            assert code == 0 and seconds >= 0.2, (code, seconds)
        assert run(cli, master, '"ping" <"pong">', "500")[0] == 2  # its count is spent
        assert run(cli, master, '"login:" <"root" 0D>')[0] == 0
        tested = subprocess.run([cli, "test", tests, "--port", master, "--settings", SETTINGS,
                                 "--timeout", "1000"], capture_output=True, text=True)
        assert tested.returncode == 1, tested.stdout + tested.stderr
        assert "1 passed" in tested.stdout and "1 failed" in tested.stdout, tested.stdout
    finally:
        responder.send_signal(signal.SIGINT)
        out = responder.communicate(timeout=10)[0]
        pair.close()
    assert responder.returncode == 0, out
    assert "matched 01 03 00 10 00 01 85 CF  answered 01 03 02 10 00 B5 84 in" in out, out
    assert "not answered: its count of 2 is spent" in out, out
    assert "mark: login prompt seen" in out, out
    for summary in ("rule read: 3 hits, 3 answers", "rule ping: 3 hits, 2 answers",
                    "rule login: 1 hits, 1 answers"):
        assert summary in out, out
    print("respond ok")


def check_devsim_on_a_port(devsim):
    pair = PtyPair()
    process = subprocess.Popen([devsim, "--modbus", "rtu", "--slave",
                                str(independent_master_check.SLAVE), "--port", pair.paths[0],
                                "--settings", SETTINGS, "--seconds", "60"],
                               stdout=subprocess.PIPE, text=True)
    try:
        assert process.stdout.readline().strip() == pair.paths[0]
        client = ModbusSerialClient(port=pair.paths[1], framer=ModbusRtuFramer, baudrate=9600,
                                    timeout=1.5)
        assert client.connect()
        independent_master_check.check_reads_and_writes(client)
        independent_master_check.check_exceptions_and_silence(client)
        client.close()
    finally:
        process.terminate()
        process.wait()
        pair.close()
    print("devsim --port ok")


def check_devsim_rules(devsim, folder):
    rules = os.path.join(folder, "devsim.rules")
    with open(rules, "w") as f:
        f.write(RULES)
    process = subprocess.Popen([devsim, "--rules", rules, "--seconds", "60"],
                               stdout=subprocess.PIPE, text=True)
    try:
        line = serial.Serial(process.stdout.readline().strip(), 9600, timeout=2)
        start = time.monotonic()
        line.write(b"ping")
        assert line.read(4) == b"pong"
        assert time.monotonic() - start >= 0.2
        line.write(b"login:")
        assert line.read(5) == b"root\r"
        assert process.stdout.readline().strip() == "mark login: login prompt seen"
    finally:
        process.terminate()
        process.wait()
    print("devsim --rules ok")


def main():
    with tempfile.TemporaryDirectory() as folder:
        check_respond(sys.argv[1], folder)
        check_devsim_on_a_port(sys.argv[2])
        check_devsim_rules(sys.argv[2], folder)


if __name__ == "__main__":
    main()
