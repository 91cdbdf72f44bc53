"""File transfers end to end: brivox-cli send-file and receive-file on a pseudo-terminal whose
other end is Debian's lrzsz (sx, sb, sz, rx, rb, rz), run by brivox-devsim as its device, which can
drop or corrupt bytes on the way; paced uploads into a console that prompts.

usage: transfer_check.py BRIVOX_CLI BRIVOX_DEVSIM
"""
import os
import pty
import select
import subprocess
import sys
import tempfile
import threading
import time
import tty

SETTINGS = "4000000,N,8,1"  # a pseudo-terminal paces writes at the rate like a real line
CPMEOF = b"\x1a"            # XMODEM fills its last 128-byte block with these
DEVSIM = sys.argv[2]


class LrzszEnd:
    """An lrzsz program run by brivox-devsim as its device, on the terminal brivox-cli opens.
    Of the bytes either side sends, every drop_every-th is dropped and every corrupt_every-th
    inverted."""

    def __init__(self, args, folder, drop_every=0, corrupt_every=0):
        faults = ["--drop-every", str(drop_every)] if drop_every else []
        faults += ["--corrupt-every", str(corrupt_every)] if corrupt_every else []
        self.devsim = subprocess.Popen([DEVSIM, "--program", " ".join(args)] + faults,
                                       cwd=folder, stdout=subprocess.PIPE, text=True)
        self.path = self.devsim.stdout.readline().strip()

    def wait(self, timeout):
        """The program's exit status."""
        line = [None]
        reader = threading.Thread(target=lambda: line.__setitem__(0, self.devsim.stdout.readline()))
        reader.start()
        reader.join(timeout)
        self.devsim.terminate()
        self.devsim.wait(timeout=10)
        assert line[0] and line[0].startswith("exit "), "the program did not end: %r" % line[0]
        return int(line[0].split()[1])

    def kill(self):
        self.devsim.terminate()
        self.devsim.wait(timeout=10)


def cli_run(cli, args, timeout=120):
    return subprocess.run([cli] + args + ["--settings", SETTINGS], capture_output=True,
                          text=True, timeout=timeout)


SEND_PROGRAMS = {"xmodem": ["rx", "-b", "-c"], "xmodem-1k": ["rx", "-b", "-c"],
                 "ymodem": ["rb", "-b"], "zmodem": ["rz", "-b"]}
RECEIVE_PROGRAMS = {"xmodem": ["sx", "-b"], "xmodem-1k": ["sx", "-b", "-k"],
                    "ymodem": ["sb", "-b"], "zmodem": ["sz", "-b"]}


def same(protocol, sent, got):
    if not protocol.startswith("xmodem"):
        return sent == got
    # XMODEM sends whole blocks: the file comes back filled up to the next block.
    return got[:len(sent)] == sent and set(got[len(sent):]) <= set(CPMEOF) and \
        len(got) - len(sent) < 1024


def check_send(cli, folder, protocol, names, faults=(0, 0)):
    far = tempfile.mkdtemp(dir=folder)
    args = SEND_PROGRAMS[protocol] + (["copy"] if protocol.startswith("xmodem") else [])
    end = LrzszEnd(args, far, *faults)
    done = cli_run(cli, ["send-file"] + names + ["--port", end.path, "--protocol", protocol])
    code = end.wait(30)
    if faults != (0, 0) and done.returncode == 1:
        # Given up, and said so: by sz, or by the port once the far end gave up and took no more.
        gave_up = ("send-file: sz failed", "send-file: the port could not be written")
        assert any(text in done.stderr for text in gave_up), done.stderr
        return
    assert done.returncode == 0 and code == 0, (protocol, names, faults, done.stderr, code)
    for name in names:
        got_name = "copy" if protocol.startswith("xmodem") else os.path.basename(name)
        with open(name, "rb") as f, open(os.path.join(far, got_name), "rb") as g:
            assert same(protocol, f.read(), g.read()), (protocol, name, faults)
    assert "sent " in done.stderr, done.stderr


def check_receive(cli, folder, protocol, names, faults=(0, 0)):
    near = tempfile.mkdtemp(dir=folder)
    end = LrzszEnd(RECEIVE_PROGRAMS[protocol] + names, folder, *faults)
    args = ["receive-file", near, "--port", end.path, "--protocol", protocol]
    done = cli_run(cli, args + (["--name", "got"] if protocol.startswith("xmodem") else []))
    code = end.wait(30)
    if faults != (0, 0) and done.returncode == 1:
        assert "receive-file: rz failed" in done.stderr, done.stderr  # given up, and said so
        return
    assert done.returncode == 0 and code == 0, (protocol, names, done.stderr, code)
    for name in names:
        got_name = "got" if protocol.startswith("xmodem") else os.path.basename(name)
        with open(name, "rb") as f, open(os.path.join(near, got_name), "rb") as g:
            assert same(protocol, f.read(), g.read()), (protocol, name)


def check_cancel(cli, folder, big):
    """Ctrl+C in the middle: exit 1, no lrzsz left behind, and the port opens again."""
    far = tempfile.mkdtemp(dir=folder)
    end = LrzszEnd(["sleep", "60"], far)  # a receiver that never starts
    sender = subprocess.Popen([cli, "send-file", big, "--port", end.path, "--protocol", "zmodem"],
                              stderr=subprocess.PIPE, text=True)
    time.sleep(1.0)
    sender.send_signal(2)
    err = sender.communicate(timeout=10)[1]
    assert sender.returncode == 1 and "cancelled" in err, (sender.returncode, err)
    left = subprocess.run(["pgrep", "-f", "sz -vv -b " + big], capture_output=True, text=True)
    assert left.stdout == "", "sz is left behind: " + left.stdout
    end.kill()
    again = LrzszEnd(["rz", "-b", "-E"], far)
    small = os.path.join(folder, "1k.bin")
    done = cli_run(cli, ["send-file", small, "--port", again.path, "--protocol", "zmodem"])
    assert done.returncode == 0 and again.wait(30) == 0, done.stderr


def check_faults(cli, folder, small, big):
    """Bytes lost or damaged on the line: the protocols send again and the file arrives whole,
    or ZMODEM gives up and that is said. The faults spoil both directions. XMODEM and YMODEM
    wait out a lost block before they send it again, so they carry the small file; ZMODEM
    streams the big one, and a fault in nearly every 1 KB subpacket would make it crawl."""
    for protocol, name, every in (("xmodem", small, 997), ("ymodem", small, 997),
                                  ("zmodem", big, 4999)):
        for faults in ((every, 0), (0, every + 12)):
            check_send(cli, folder, protocol, [name], faults)
    check_receive(cli, folder, "zmodem", [big], (4999, 0))


class PromptingConsole:
    """A console on a pseudo-terminal that echoes each line and then prints "> "."""

    def __init__(self):
        self.master, slave = pty.openpty()
        tty.setraw(slave)
        self.path = os.ttyname(slave)
        self.slave = slave
        self.heard = bytearray()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.running = True
        self.thread.start()

    def serve(self):
        line = bytearray()
        while self.running:
            if not select.select([self.master], [], [], 0.1)[0]:
                continue
            data = os.read(self.master, 4096)
            self.heard += data
            for byte in data:
                line.append(byte)
                if byte == 0x0A:
                    os.write(self.master, bytes(line) + b"> ")
                    line.clear()

    def close(self):
        self.running = False
        self.thread.join()
        os.close(self.master)
        os.close(self.slave)


def check_paced(cli, folder):
    lines = "".join("line %05d of the configuration\n" % i for i in range(10000))
    path = os.path.join(folder, "config.txt")
    with open(path, "w") as f:
        f.write(lines)
    console = PromptingConsole()
    done = subprocess.run([cli, "send-file", path, "--port", console.path, "--wait-prompt", "> ",
                           "--settings", "115200,N,8,1"],
                          capture_output=True, text=True, timeout=300)
    console.close()
    assert done.returncode == 0, done.stderr
    assert console.heard.decode() == lines, "every line once, in order"
    assert "bytes in 10000 lines" in done.stderr, done.stderr[-300:]
    echo = subprocess.Popen([DEVSIM, "--echo"], stdout=subprocess.PIPE, text=True)
    done = subprocess.run([cli, "send-file", path, "--port", echo.stdout.readline().strip(),
                           "--wait-echo"], capture_output=True, text=True, timeout=300)
    echo.terminate()
    echo.wait(timeout=10)
    assert done.returncode == 0 and "bytes in 10000 lines" in done.stderr, done.stderr[-300:]
    silent = PromptingConsole()
    silent.running = False  # hears nothing, prompts nothing
    done = subprocess.run([cli, "send-file", path, "--port", silent.path, "--wait-prompt", "$ ",
                           "--timeout", "200"], capture_output=True, text=True, timeout=30)
    silent.thread.join()
    assert done.returncode == 1 and "line 1: \"$ \" did not come within 200 ms" in done.stderr, \
        done.stderr


def main():
    cli = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        names = []
        for name, size in (("0.bin", 0), ("1.bin", 1), ("1k.bin", 1024),
                           ("1m7.bin", (1 << 20) + 7)):
            names.append(os.path.join(folder, name))
            with open(names[-1], "wb") as f:
                f.write(os.urandom(size))
        for protocol in ("xmodem", "xmodem-1k", "ymodem", "zmodem"):
            # XMODEM carries no length, so an empty file is no file to it.
            sizes = names[1:] if protocol.startswith("xmodem") else names
            for name in sizes:
                check_send(cli, folder, protocol, [name])
                check_receive(cli, folder, protocol, [name])
        check_send(cli, folder, "ymodem", names[2:])
        check_receive(cli, folder, "ymodem", names[2:])
        check_send(cli, folder, "zmodem", names[2:])
        quarter = os.path.join(folder, "256k.bin")
        with open(quarter, "wb") as f:
            f.write(os.urandom(256 * 1024))
        check_faults(cli, folder, names[2], quarter)
        check_cancel(cli, folder, names[-1])
        check_paced(cli, folder)
    print("transfers ok")


if __name__ == "__main__":
    main()
