// The request ADUs (slave, function, data) a master sends besides the form's own: the reads of a
// poll, the writes of the command line and the poll window, and the requests that ask a slave
// about itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

std::vector<uint8_t> ModbusReadAdu(int slave, int function, int start, int count);
// Function 08 sub-function 00: the slave sends the data back as it came.
std::vector<uint8_t> ModbusEchoAdu(int slave, const std::vector<uint8_t>& data);
// Function 2B MEI 0E, the basic objects (vendor, product code, revision) from firstObject on.
std::vector<uint8_t> ModbusDeviceIdentificationAdu(int slave, int firstObject);
// Any function and data, for a device's own functions (and 07, 11, which carry no data).
std::vector<uint8_t> ModbusRawAdu(int slave, const std::vector<uint8_t>& pdu);

struct CModbusWrite {
    int slave = 1;
    int function = 0x10; // 05, 06, 0F, 10, 16 or 17
    int start = 0;
    std::vector<uint16_t> values; // registers, or coils as 0 and 1; one for 05 and 06
    uint16_t andMask = 0xFFFF; // 16: register = (register AND andMask) OR (orMask AND NOT andMask)
    uint16_t orMask = 0;
    int readStart = 0; // 17: the registers read after the write
    int readCount = 1;
};

// The write's ADU; an error text naming what is out of range, empty on success.
std::string BuildModbusWrite(const CModbusWrite& write, std::vector<uint8_t>& adu);

} // namespace brivox
