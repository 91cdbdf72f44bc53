"""brivox-cli's MODBUS master end to end: against pymodbus's data store, request execution and
framing (an independent MODBUS implementation) as an RTU and an ASCII slave on a
pseudo-terminal and as a MODBUS TCP server on 127.0.0.1, and against brivox-devsim's slave on a
pseudo-terminal and as a MODBUS TCP server. poll on a line that corrupts, answers for another
slave, refuses, or stays silent: every cycle counted for what it was, and the poll going on;
write with typed values read back by poll; scan finding exactly the unit ids served; ident and
request.

usage: poll_check.py BRIVOX_CLI BRIVOX_DEVSIM
"""
import json
import logging
import os
import re
import select
import socket
import struct
import subprocess
import sys
import threading
import tty

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusSlaveContext
from pymodbus.device import ModbusControlBlock, ModbusDeviceIdentification
from pymodbus.factory import ServerDecoder
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.framer.socket_framer import ModbusSocketFramer

CLI, DEVSIM = sys.argv[1], sys.argv[2]
logging.getLogger("pymodbus").setLevel(logging.CRITICAL)  # it logs every exception it answers
SLAVE = 7
OTHER_SLAVE = 200  # served too, from the same tables: what a scan must find
UNITS = [SLAVE, OTHER_SLAVE]
PI_CDAB = list(struct.unpack(">HH", struct.pack(">f", 3.14159)))[::-1]  # low word first
HOLDING = PI_CDAB + [0xFFFE, 0x1234]  # then -2 as s16 and a plain register


def store():
    return ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, HOLDING + [0] * 96),
                              co=ModbusSequentialDataBlock(0, [1, 0, 0, 1] * 25),
                              zero_mode=True)


def answerer(framer, context, write):
    def answer(request):
        response = request.execute(context)
        response.unit_id = request.unit_id
        response.transaction_id = request.transaction_id
        write(framer.buildPacket(response))
    return answer


def serial_slave(framer_class, stop):
    """A pymodbus slave on the master of a new terminal; the slave's path."""
    master, slave = os.openpty()
    tty.setraw(slave)
    framer = framer_class(ServerDecoder())
    answer = answerer(framer, store(), lambda packet: os.write(master, packet))

    def serve():
        while not stop.is_set():
            if select.select([master], [], [], 0.1)[0]:
                framer.processIncomingPacket(os.read(master, 512), answer, unit=UNITS)
        os.close(master)
        os.close(slave)

    threading.Thread(target=serve, daemon=True).start()
    return os.ttyname(slave)


def tcp_slave(stop):
    """A pymodbus MODBUS TCP server on 127.0.0.1; its port."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    context = store()

    def serve():
        listener.settimeout(0.1)
        while not stop.is_set():
            try:
                connection, _ = listener.accept()
            except socket.timeout:
                continue
            framer = ModbusSocketFramer(ServerDecoder())
            answer = answerer(framer, context, connection.sendall)
            connection.settimeout(0.1)
            while not stop.is_set():
                try:
                    data = connection.recv(512)
                except socket.timeout:
                    continue
                if not data:
                    break
                framer.processIncomingPacket(data, answer, unit=UNITS)
            connection.close()
        listener.close()

    threading.Thread(target=serve, daemon=True).start()
    return listener.getsockname()[1]


def cli(command, port, *args):
    done = subprocess.run([CLI, command, "--port", port] + list(args), capture_output=True,
                          text=True, timeout=60)
    return done.returncode, done.stdout.splitlines(), done.stderr


def independent_slaves(stop):
    """pymodbus as an RTU and an ASCII slave and a MODBUS TCP server: (port, framing options)."""
    return [(serial_slave(ModbusRtuFramer, stop), []),
            (serial_slave(ModbusAsciiFramer, stop), ["--ascii"]),
            ("modbustcp://127.0.0.1:%d" % tcp_slave(stop), [])]


def poll(port, *args, cycles=5):
    return cli("poll", port, "--cycles", str(cycles), *args)


def check_independent_slaves():
    stop = threading.Event()
    ports = independent_slaves(stop)
    try:
        for port, framing in ports:
            base = framing + ["--slave", str(SLAVE), "--interval", "0"]
            code, lines, err = poll(port, *base, "--start", "0000", "--count", "2", "--type",
                                    "f32", "--order", "CDAB", "--format", "jsonl")
            assert code == 0, (port, err)
            assert len(lines) == 5 and all(json.loads(line)["values"] == {"0000": 3.14159}
                                           for line in lines), (port, lines)
            assert "requests 5, valid 5, time-outs 0" in err, (port, err)
            code, lines, err = poll(port, *base, "--start", "0002", "--count", "2", "--type",
                                    "s16", "--format", "csv", cycles=1)
            assert code == 0 and lines[0] == "time,0002,0003,error", (port, lines, err)
            assert lines[1].endswith(",-2,4660,"), (port, lines)
            code, lines, err = poll(port, *base, "--function", "01", "--count", "4", cycles=1)
            assert code == 0 and lines[0].endswith("0000=1  0001=0  0002=0  0003=1"), lines
            code, lines, err = poll(port, *base, "--start", "FFF0", "--count", "2", cycles=2)
            assert code == 1 and "exceptions 2 (02: 2)" in err, (port, err)
            assert lines[0].endswith("error: exception 02 (illegal data address)"), lines
    finally:
        stop.set()
    print("independent slaves ok")


class Devsim:
    def __init__(self, *args):
        self.process = subprocess.Popen([DEVSIM] + list(args), stdout=subprocess.PIPE, text=True)
        self.path = self.process.stdout.readline().strip()

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes(data) + struct.pack("<H", crc)


def counted(err, name):
    return int(re.search(name + r" (\d+)", err).group(1))


def check_faulty_lines():
    """Each fault costs its own cycle and no other: the poll goes on and counts it."""
    request = crc16([0x01, 0x03, 0x00, 0x00, 0x00, 0x0A]).hex(" ")
    other_slave = crc16([0x02, 0x03, 0x14] + [0] * 20).hex(" ")
    cases = [
        (["--modbus", "rtu", "--corrupt-every", "45"], ["--interval", "20"], "CRC errors"),
        (["--reply", request + "=" + other_slave], [], "wrong slave"),
        (["--reply", "FF=00"], ["--timeout", "50"], "time-outs"),
    ]
    for device, options, counter in cases:
        devsim = Devsim(*device)
        try:
            code, lines, err = poll(devsim.path, "--count", "10", *options, cycles=20)
        finally:
            devsim.close()
        assert code == 1 and len(lines) == 20, (device, code, lines, err)
        failed = sum(1 for line in lines if "error:" in line)
        assert counted(err, counter) == failed and failed > 0, (device, err)
        assert counted(err, "valid") + failed == 20, (device, err)
    devsim = Devsim("--modbus", "rtu", "--drop-every", "500")
    try:
        code, lines, err = poll(devsim.path, "--count", "10", "--interval", "0", "--timeout",
                                "50", cycles=200)
    finally:
        devsim.close()
    failed = [i for i, line in enumerate(lines) if "error:" in line]
    assert len(lines) == 200 and 5 <= len(failed) <= 12, (failed, err)
    assert all(i + 1 == len(lines) or "error:" not in lines[i + 1] for i in failed), \
        "a spoilt reply costs its own cycle only: " + err
    print("faulty lines ok")


def check_master_commands(port, framing, slave, units, vendor, frames_unknown_functions):
    """write with typed values, read back by poll; scan; ident; request."""
    base = framing + ["--slave", str(slave)]

    def written(*args):
        code, lines, err = cli("write", port, *base, *args)
        assert code == 0 and lines and lines[0].startswith(("written", "masked", "registers")), \
            (port, args, code, lines, err)
        return lines

    def read(*args):
        code, lines, err = poll(port, *base, *args, cycles=1)
        assert code == 0, (port, args, err)
        return lines[0].split("  ", 1)[1]

    written("--function", "10", "--start", "0020", "--type", "f32", "--order", "CDAB",
            "--value", "2.5,-1.25")
    assert read("--start", "0020", "--count", "4", "--type", "f32", "--order", "CDAB") == \
        "0020=2.5  0022=-1.25", port
    written("--function", "06", "--start", "0024", "--type", "s16", "--value", "-5")
    written("--function", "16", "--start", "0025", "--and", "0000", "--or", "00A5")
    assert read("--start", "0024", "--count", "2", "--type", "s16") == "0024=-5  0025=165", port
    lines = written("--function", "17", "--start", "0026", "--value", "7", "--read-start", "0025",
                    "--read-count", "2")
    assert lines == ["registers 00A5 0007"], (port, lines)
    written("--function", "0F", "--start", "0030", "--value", "1,0,1")
    written("--function", "05", "--start", "0031", "--value", "on")
    assert read("--function", "01", "--start", "0030", "--count", "3") == \
        "0030=1  0031=1  0032=1", port
    code, lines, err = cli("write", port, *base, "--function", "06", "--type", "f32", "--value", "1")
    assert code == 3 and "write it with --function 10" in err, err

    code, lines, err = cli("scan", port, *framing, "--slaves", "1-12,195-205", "--timeout", "50")
    found = [int(line.split()[1].rstrip(":")) for line in lines if line.startswith("slave ")]
    assert code == 0 and found == units, (port, lines, err)
    assert lines[-1].startswith("found %d of 23 addresses asked" % len(units)), lines

    code, lines, err = cli("ident", port, *base)
    assert code == 0 and "vendor: " + vendor in lines, (port, lines, err)
    assert any(line.startswith("slave id: ") for line in lines), lines
    code, lines, err = cli("request", port, *base, "--pdu", "08 00 00 12 34")
    assert code == 0 and lines == ["echo 00 00 12 34"], (port, lines, err)
    if frames_unknown_functions:  # pymodbus's framer drops a function it does not know
        code, lines, err = cli("request", port, *base, "--pdu", "41")
        assert code == 1 and lines == ["exception 01"], (port, lines, err)


def check_master_against_independent_slaves():
    identity = ModbusDeviceIdentification(info_name={
        "VendorName": "Independent", "ProductCode": "PM", "MajorMinorRevision": "3.0"})
    ModbusControlBlock().Identity.update(identity)
    stop = threading.Event()
    ports = independent_slaves(stop)
    try:
        for port, framing in ports:
            check_master_commands(port, framing, SLAVE, UNITS, "Independent", False)
    finally:
        stop.set()
    print("write, scan, ident against independent slaves ok")


def check_master_against_devsim():
    for device, framing in [(["--modbus", "rtu"], []), (["--modbus", "ascii"], ["--ascii"]),
                            (["--modbus-tcp", "0"], [])]:
        devsim = Devsim(*device, "--slave", "3,9,201")
        try:
            check_master_commands(devsim.path, framing, 9, [3, 9, 201], "Brivox", True)
        finally:
            devsim.close()
    print("write, scan, ident against brivox-devsim ok")


def main():
    check_independent_slaves()
    check_faulty_lines()
    check_master_against_independent_slaves()
    check_master_against_devsim()
    print("poll ok")


if __name__ == "__main__":
    main()
