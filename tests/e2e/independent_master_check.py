"""Drives brivox-devsim's MODBUS slave, in RTU and in ASCII framing, with pymodbus's serial
client, an independent MODBUS master, and checks every answer.

usage: independent_master_check.py BRIVOX_DEVSIM
"""
import subprocess
import sys

from pymodbus.client import ModbusSerialClient
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.pdu import ExceptionResponse
from pymodbus.mei_message import ReadDeviceInformationRequest
from pymodbus.other_message import GetCommEventCounterRequest, ReportSlaveIdRequest

SLAVE = 5


def check_reads_and_writes(client):
    assert client.read_coils(0, 10, slave=SLAVE).bits[:10] == [i % 3 == 0 for i in range(10)]
    assert client.read_discrete_inputs(7, 3, slave=SLAVE).bits[:3] == [False, True, False]
    assert client.read_holding_registers(100, 3, slave=SLAVE).registers == [100, 101, 102]
    assert client.read_input_registers(4999, 1, slave=SLAVE).registers == [0x8000 + 4999]

    assert not client.write_coil(1, True, slave=SLAVE).isError()
    assert not client.write_register(2, 0xBEEF, slave=SLAVE).isError()
    pattern = [True, False, True, True, False, False, True, True, True, False]
    assert not client.write_coils(20, pattern, slave=SLAVE).isError()
    assert not client.write_registers(30, [10, 258, 65535], slave=SLAVE).isError()

    assert client.read_coils(0, 2, slave=SLAVE).bits[:2] == [True, True]
    assert client.read_coils(20, 10, slave=SLAVE).bits[:10] == pattern
    assert client.read_holding_registers(2, 1, slave=SLAVE).registers == [0xBEEF]
    assert client.read_holding_registers(30, 3, slave=SLAVE).registers == [10, 258, 65535]


def check_identification(client):
    assert client.execute(ReportSlaveIdRequest(unit=SLAVE)).identifier == b"BRIVOX-DEVSIM\xff"
    information = client.execute(ReadDeviceInformationRequest(unit=SLAVE)).information
    assert information == {0: b"Brivox", 1: b"BRIVOX-DEVSIM", 2: b"1.0"}, information
    client.mask_write_register(2, 0x00F0, 0x0005, slave=SLAVE)
    assert client.read_holding_registers(2, 1, slave=SLAVE).registers == [0xBEEF & 0xF0 | 0x05]


def exception_code(response):
    assert isinstance(response, ExceptionResponse), response
    return response.exception_code


def check_exceptions_and_silence(client):
    assert exception_code(client.execute(GetCommEventCounterRequest(unit=SLAVE))) == 1
    assert exception_code(client.read_holding_registers(4999, 2, slave=SLAVE)) == 2
    assert exception_code(client.read_coils(0, 2001, slave=SLAVE)) == 3
    assert client.read_holding_registers(0, 1, slave=SLAVE + 1).isError()  # no answer
    assert client.read_holding_registers(0, 1, slave=SLAVE).registers == [0]


def run(devsim, framing):
    process = subprocess.Popen([devsim, "--modbus", framing, "--slave", str(SLAVE),
                                "--seconds", "60"], stdout=subprocess.PIPE, text=True)
    try:
        path = process.stdout.readline().strip()
        framer = ModbusRtuFramer if framing == "rtu" else ModbusAsciiFramer
        client = ModbusSerialClient(port=path, framer=framer, baudrate=9600, timeout=1.5)
        assert client.connect(), path
        check_reads_and_writes(client)
        check_identification(client)
        check_exceptions_and_silence(client)
        client.close()
    finally:
        process.terminate()
        process.wait()
    print(framing, "ok")


def main():
    for framing in ("rtu", "ascii"):
        run(sys.argv[1], framing)


if __name__ == "__main__":
    main()
