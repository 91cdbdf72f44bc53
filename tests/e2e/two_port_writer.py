"""Plays both wires of a MODBUS link on two pseudo-terminals, as two adapters on a Y cable hear
them: port A the master's requests, port B the slave's replies, at times it records.

Usage: two_port_writer.py FIFO. Prints the two terminals' paths, waits for a line on FIFO, writes,
prints one JSON object per frame ({"port", "us" on the monotonic clock, "length"}) and waits for
a second line before it closes the terminals.
"""
import json
import os
import sys
import time
import tty

REPLY_DELAYS_MS = [3, 8, 15, 30]


def crc16(frame):
    crc = 0xFFFF
    for byte in frame:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return frame + bytes([crc & 0xFF, crc >> 8])


def now_us():
    return time.monotonic_ns() // 1000


def main():
    go = sys.argv[1]
    terminals = [os.openpty() for _ in range(2)]
    for _, slave in terminals:
        tty.setraw(slave)
    print(" ".join(os.ttyname(slave) for _, slave in terminals), flush=True)
    with open(go) as signal:
        signal.readline()
        masters = [master for master, _ in terminals]
        frames = []

        def write(port, data):
            frames.append({"port": "AB"[port], "us": now_us(), "length": len(data)})
            os.write(masters[port], data)

        # A long frame on A, byte by byte, with a short one on B begun and ended inside it.
        slow = b"U" * 20
        frames.append({"port": "A", "us": now_us(), "length": len(slow)})
        for i, byte in enumerate(slow):
            if i == 5:
                write(1, b"BBBB")
            os.write(masters[0], bytes([byte]))
            time.sleep(0.002)
        time.sleep(0.1)
        request = crc16(bytes([1, 3, 0, 0, 0, 2]))
        reply = crc16(bytes([1, 3, 4, 0, 0, 0, 1]))
        for delay in REPLY_DELAYS_MS:
            write(0, request)
            time.sleep(delay / 1000)
            write(1, reply)
            time.sleep(0.1)
        for frame in frames:
            print(json.dumps(frame), flush=True)
        signal.readline()


if __name__ == "__main__":
    main()
