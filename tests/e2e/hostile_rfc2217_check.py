"""brivox-cli against an RFC 2217 server on 127.0.0.1 that never stops sending while the client
negotiates and never answers COM-PORT-OPTION: every open ends within its limit, and SIGTERM ends
one at once.

usage: hostile_rfc2217_check.py BRIVOX_CLI [OPENS]
"""
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

OPEN_LIMIT_S = 3.0  # the client's limit for a server's answer
SLACK_S = 3.0       # starting and ending the process on a loaded machine
AT_ONCE_S = 2.0     # well inside the open's limit
TOGETHER = 10       # opens run side by side


def flood(connection):
    """Telnet first, so that the client takes the server for one, then data without end."""
    chunk = b"noise " * 200000
    try:
        connection.sendall(bytes([255, 251, 1]))  # IAC WILL ECHO
        while True:
            connection.sendall(chunk)
    except OSError:
        pass
    finally:
        connection.close()


def serve(listener):
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=flood, args=(connection,), daemon=True).start()


def timed_opens(cli, address, env, count):
    """Seconds each `brivox-cli run` took, its open included; None for one that failed."""
    started = time.monotonic()
    runs = [subprocess.Popen([cli, "run", "--port", address, "41"], env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            for _ in range(count)]
    times = []
    for run in runs:
        try:
            run.wait(timeout=OPEN_LIMIT_S + SLACK_S + 10)
        except subprocess.TimeoutExpired:
            run.kill()
            run.wait()
        times.append(time.monotonic() - started if run.returncode == 0 else None)
        run.stderr.close()
    return times


def stop_during_open(cli, address, env):
    """Whether SIGTERM ended a monitor that was still opening, and what it said."""
    monitor = subprocess.Popen([cli, "monitor", "--port", address], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    time.sleep(0.5)
    sent = time.monotonic()
    monitor.terminate()
    try:
        monitor.wait(timeout=AT_ONCE_S + 10)
    except subprocess.TimeoutExpired:
        monitor.kill()
        monitor.wait()
    took = time.monotonic() - sent
    return took, monitor.returncode, monitor.stderr.read()


def main():
    cli = sys.argv[1]
    opens = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    env = dict(os.environ, XDG_CONFIG_HOME=tempfile.mkdtemp(prefix="brivox-hostile-"))
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    threading.Thread(target=serve, args=(listener,), daemon=True).start()
    address = "rfc2217://127.0.0.1:%d" % listener.getsockname()[1]

    failures = []
    times = []
    while len(times) < opens:
        times += timed_opens(cli, address, env, min(TOGETHER, opens - len(times)))
    late = [t for t in times if t is None or t > OPEN_LIMIT_S + SLACK_S]
    print("%d opens, slowest %.2f s" % (len(times), max(t or 99 for t in times)))
    if late:
        failures.append("%d of %d opens overran their limit or failed: %s" % (len(late), opens, late))

    took, code, said = stop_during_open(cli, address, env)
    print("SIGTERM during the open: exit %s after %.2f s" % (code, took))
    if took > AT_ONCE_S or code != 3 or "interrupted" not in said:
        failures.append("SIGTERM during the open: exit %s after %.2f s: %s" % (code, took, said))

    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
