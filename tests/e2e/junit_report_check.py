"""Runs brivox-cli test against brivox-devsim's MODBUS slave with a passing, a failing and a
timing-out case and reads the JUnit report with Python's own XML parser, as a CI server would.

usage: junit_report_check.py BRIVOX_CLI BRIVOX_DEVSIM
"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

CASES = """\
case registers <0000 & 0001>
modbus rtu --function 03 --slave 1 --start 0000 --length 2
expect 0000 0001
repeat 2

case wrong value
modbus rtu --function 03 --slave 1 --start 0000 --length 2
expect 0000 0002

case silent slave
modbus rtu --function 03 --slave 9 --start 0000 --length 1
timeout 300
"""


def main():
    cli, devsim = sys.argv[1:3]
    folder = tempfile.mkdtemp(prefix="brivox-junit-check-")
    env = dict(os.environ, XDG_CONFIG_HOME=folder)
    cases = os.path.join(folder, "bench.cases")
    report = os.path.join(folder, "report.xml")
    with open(cases, "w", encoding="utf-8") as file:
        file.write(CASES)
    device = subprocess.Popen([devsim, "--modbus", "rtu", "--seconds", "60"],
                              stdout=subprocess.PIPE, text=True, env=env)
    try:
        path = device.stdout.readline().split()[0]
        run = subprocess.run([cli, "test", cases, "--port", path, "--junit", report],
                             capture_output=True, text=True, env=env, timeout=60, check=False)
    finally:
        device.terminate()
        device.wait()
    assert run.returncode == 1, (run.returncode, run.stdout, run.stderr)

    suites = ElementTree.parse(report).getroot()
    assert suites.tag == "testsuites", suites.tag
    suite = suites.find("testsuite")
    assert suite.get("name") == "bench.cases", suite.attrib
    assert (suite.get("tests"), suite.get("failures"), suite.get("errors")) == ("3", "2", "0"), \
        suite.attrib
    cases = suite.findall("testcase")
    assert [case.get("name") for case in cases] == \
        ["registers <0000 & 0001>", "wrong value", "silent slave"], cases
    assert all(float(case.get("time")) >= 0 for case in cases)
    assert cases[0].find("failure") is None
    mismatch = cases[1].find("failure")
    assert mismatch.get("type") == "mismatch", mismatch.attrib
    assert "expected 01 03 04 00 00 00 02 7B F2" in mismatch.text, mismatch.text
    assert "received 01 03 04 00 00 00 01 3B F3" in mismatch.text, mismatch.text
    timeout = cases[2].find("failure")
    assert timeout.get("type") == "timeout", timeout.attrib
    assert "300 ms" in timeout.get("message"), timeout.attrib
    print("JUnit report read back:", len(cases), "cases")


if __name__ == "__main__":
    main()
