"""Feeds the requests brivox-cli builds to pymodbus's server-side framers, an independent MODBUS
implementation, and checks that each is accepted as a well-formed request with the fields given.

usage: independent_frame_check.py BRIVOX_CLI
"""
import subprocess
import sys

from pymodbus.factory import ServerDecoder
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer

# (brivox-cli field options, pymodbus request class name, attributes the request must carry)
CASES = [
    (["--function", "01", "--start", "0013", "--length", "37"], "ReadCoilsRequest",
     {"address": 0x13, "count": 37}),
    (["--function", "02", "--start", "00C4", "--length", "22"], "ReadDiscreteInputsRequest",
     {"address": 0xC4, "count": 22}),
    (["--function", "03", "--start", "006B", "--length", "3"], "ReadHoldingRegistersRequest",
     {"address": 0x6B, "count": 3}),
    (["--function", "04", "--start", "0008", "--length", "1"], "ReadInputRegistersRequest",
     {"address": 8, "count": 1}),
    (["--function", "05", "--start", "00AC", "--bit-on", "1"], "WriteSingleCoilRequest",
     {"address": 0xAC, "value": True}),
    (["--function", "05", "--start", "00AC", "--bit-on", "0"], "WriteSingleCoilRequest",
     {"address": 0xAC, "value": False}),
    (["--function", "06", "--start", "0001", "--word", "0003"], "WriteSingleRegisterRequest",
     {"address": 1, "value": 3}),
    (["--function", "0F", "--start", "0013", "--length", "10", "--bits", "CD 01"],
     "WriteMultipleCoilsRequest",
     {"address": 0x13, "values": [True, False, True, True, False, False, True, True, True, False]}),
    (["--function", "10", "--start", "0001", "--words", "000A 0102"],
     "WriteMultipleRegistersRequest", {"address": 1, "values": [10, 258]}),
]

SLAVE = 17


def build(cli, framing, options):
    out = subprocess.run([cli, "modbus", framing, "--slave", str(SLAVE)] + options,
                         capture_output=True, text=True, check=True).stdout.split()
    assert out[0] == "send", out
    return bytes(int(pair, 16) for pair in out[1:])


def decode(framer_class, frame):
    requests = []
    framer_class(ServerDecoder()).processIncomingPacket(frame, requests.append, unit=[SLAVE])
    return requests


def corrupt_checksum(frame, framing):
    if framing == "--rtu":
        return frame[:-1] + bytes([frame[-1] ^ 0x01])
    digit = b"1" if frame[-3:-2] == b"0" else b"0"  # last LRC character, before CR LF
    return frame[:-3] + digit + frame[-2:]


def main():
    cli = sys.argv[1]
    failures = 0
    checked = 0
    for framing, framer_class in (("--rtu", ModbusRtuFramer), ("--ascii", ModbusAsciiFramer)):
        for options, class_name, fields in CASES:
            frame = build(cli, framing, options)
            requests = decode(framer_class, frame)
            problem = None
            if len(requests) != 1:
                problem = "not accepted"
            elif type(requests[0]).__name__ != class_name:
                problem = "decoded as " + type(requests[0]).__name__
            else:
                for name, value in fields.items():
                    got = getattr(requests[0], name)
                    if isinstance(value, list):
                        got = list(got)[: len(value)]
                    if got != value:
                        problem = "%s is %r, expected %r" % (name, got, value)
            # A corrupted checksum must be refused, or the check above proves nothing.
            corrupted = corrupt_checksum(frame, framing)
            if problem is None and decode(framer_class, corrupted):
                problem = "accepted with a corrupted checksum"
            checked += 1
            if problem:
                failures += 1
                print("FAIL %s %s: %s (frame %s)" % (framing, " ".join(options), problem,
                                                     frame.hex(" ")))
    print("%d passed, %d failed" % (checked - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
