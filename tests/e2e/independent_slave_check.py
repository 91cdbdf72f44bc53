"""Runs brivox-cli run's MODBUS requests, in RTU and in ASCII framing, against a slave made of
pymodbus's request decoding, data store, request execution and framing (an independent MODBUS
implementation) on a pseudo-terminal registered in a temporary port map, and checks the answers.

usage: independent_slave_check.py BRIVOX_CLI
"""
import os
import select
import subprocess
import sys
import tempfile
import threading
import tty

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusSlaveContext
from pymodbus.factory import ServerDecoder
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer

SLAVE = 9
PORT = 61

# (brivox-cli run fields, the decoded line expected)
CASES = [
    (["--function", "01", "--start", "0000", "--length", "5"], "coils 1 0 1 0 1"),
    (["--function", "02", "--start", "0000", "--length", "3"], "coils 0 0 1"),
    (["--function", "03", "--start", "0002", "--length", "2"], "registers 0102 0103"),
    (["--function", "04", "--start", "0000", "--length", "1"], "registers 0200"),
    (["--function", "05", "--start", "0001", "--bit-on", "1"], "written address 0001 value FF00"),
    (["--function", "06", "--start", "0003", "--word", "BEEF"], "written address 0003 value BEEF"),
    (["--function", "0F", "--start", "0004", "--length", "10", "--bits", "CD 01"],
     "written address 0004 quantity 000A"),
    (["--function", "10", "--start", "0008", "--words", "000A 0102"],
     "written address 0008 quantity 0002"),
    (["--function", "03", "--start", "0002", "--length", "2"], "registers 0102 BEEF"),
]


def store():
    # zero_mode: request address a reads element a of each block.
    return ModbusSlaveContext(
        co=ModbusSequentialDataBlock(0, [1, 0, 1, 0, 1] * 20),
        di=ModbusSequentialDataBlock(0, [0, 0, 1, 0] * 20),
        hr=ModbusSequentialDataBlock(0, [0x100 + i for i in range(100)]),
        ir=ModbusSequentialDataBlock(0, [0x200 + i for i in range(100)]),
        zero_mode=True)


def serve(master, framer_class, stop):
    framer = framer_class(ServerDecoder())
    context = store()

    def answer(request):
        response = request.execute(context)
        response.unit_id = request.unit_id
        response.transaction_id = request.transaction_id
        os.write(master, framer.buildPacket(response))

    while not stop.is_set():
        if select.select([master], [], [], 0.1)[0]:
            framer.processIncomingPacket(os.read(master, 512), answer, unit=[SLAVE])


def run_cases(cli, framing, env):
    failures = 0
    for fields, decoded in CASES:
        args = [cli, "run", "--port", "COM%d" % PORT, "--mode", "modbus-" + framing,
                "--slave", str(SLAVE), "--timeout", "3000"] + fields
        result = subprocess.run(args, capture_output=True, text=True, env=env)
        if result.returncode != 0 or ("\n" + decoded + "\n") not in ("\n" + result.stdout):
            failures += 1
            print("FAIL %s %s: exit %d\n%s%s" % (framing, " ".join(fields), result.returncode,
                                                 result.stdout, result.stderr))
    return failures


def main():
    cli = sys.argv[1]
    config = tempfile.mkdtemp(prefix="brivox-slave-check-")
    env = dict(os.environ, XDG_CONFIG_HOME=config)
    ports = os.path.join(config, "Brivox", "ports")
    os.makedirs(ports)
    failures = 0
    for framing, framer_class in (("rtu", ModbusRtuFramer), ("ascii", ModbusAsciiFramer)):
        master, slave = os.openpty()
        tty.setraw(slave)
        link = os.path.join(ports, "COM%d" % PORT)
        os.symlink(os.ttyname(slave), link)
        stop = threading.Event()
        server = threading.Thread(target=serve, args=(master, framer_class, stop))
        server.start()
        try:
            failures += run_cases(cli, framing, env)
        finally:
            stop.set()
            server.join()
            os.unlink(link)
            os.close(slave)
            os.close(master)
    checked = 2 * len(CASES)
    print("%d passed, %d failed" % (checked - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
