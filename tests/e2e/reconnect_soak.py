"""brivox-cli monitor --reconnect while its device streams text at 2 KB/s for 2 s and goes away
(exits, or is killed with SIGKILL), and a second one takes the same COM number 0.5 s later: the
monitor says when the device went and came back, its frame times are the real ones and in
order, and it ends cleanly (under a sanitizer: with no report).

usage: reconnect_soak.py BRIVOX_CLI [RUNS]   (RUNS of each way of going away, default 20)
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

PORT = 61
DEVICE = r"""
import os, sys, time
master, slave = os.openpty()
link = sys.argv[1]
if os.path.lexists(link):
    os.unlink(link)
os.symlink(os.ttyname(slave), link)
os.close(slave)
print("ready", flush=True)
end = time.monotonic() + 2.0
while time.monotonic() < end:
    os.write(master, b"0123456789abcdefghi\n")
    time.sleep(0.01)
print("done", flush=True)
time.sleep(float(sys.argv[2]))
"""


def start_device(link, linger):
    device = subprocess.Popen([sys.executable, "-c", DEVICE, link, str(linger)],
                              stdout=subprocess.PIPE, text=True)
    device.stdout.readline()
    return device


def one_run(cli, env, link, killed):
    started = time.strftime("%Y-%m-%d %H:%M:%S")
    first = start_device(link, 30 if killed else 0)
    monitor = subprocess.Popen([cli, "monitor", "--port", "COM%d" % PORT, "--reconnect",
                                "--gap", "3"], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    first.stdout.readline()  # "done": two seconds of streaming
    if killed:
        first.kill()
    first.wait()
    time.sleep(0.5)
    second = start_device(link, 0)
    second.wait()
    time.sleep(0.3)
    monitor.send_signal(signal.SIGINT)
    out, err = monitor.communicate(timeout=60)
    ended = time.strftime("%Y-%m-%d %H:%M:%S")
    problems = []
    if monitor.returncode != 0:
        problems.append("exit %s" % monitor.returncode)
    if "Sanitizer" in err:
        problems.append("a sanitizer report:\n" + err)
    lines = out.splitlines()
    if not any("  device lost: " in line for line in lines):
        problems.append("no lost line")
    if not any("  device back after " in line for line in lines):
        problems.append("no back line")
    times = [line[:19] for line in lines[:-1]]
    if times != sorted(times) or (times and (times[0] < started or times[-1] > ended)):
        problems.append("times out of order or outside %s .. %s" % (started, ended))
    return problems


def main():
    cli = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    config = tempfile.mkdtemp(prefix="brivox-soak-")
    env = dict(os.environ, XDG_CONFIG_HOME=config)
    ports = os.path.join(config, "Brivox", "ports")
    os.makedirs(ports)
    link = os.path.join(ports, "COM%d" % PORT)
    failures = 0
    for killed in (False, True):
        for run in range(runs):
            problems = one_run(cli, env, link, killed)
            if problems:
                failures += 1
                print("FAIL %s run %d: %s" % ("killed" if killed else "exited", run + 1,
                                              "; ".join(problems)))
        print("%s: %d runs" % ("killed with SIGKILL" if killed else "exited", runs))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
