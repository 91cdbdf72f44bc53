#pragma once

#include <cstddef>
#include <cstdint>

namespace brivox {

// CRC-16 of a MODBUS RTU frame, as the two bytes in the order they go on the line (the CRC's
// low-order byte first). 01 03 00 00 00 0A gives C5 CD.
struct CModbusCrc {
    uint8_t first;
    uint8_t second;
};
CModbusCrc ModbusCrc16(const uint8_t* data, size_t size);

// LRC of a MODBUS ASCII frame's binary content (without ":" and CR LF): the two's complement of
// the byte sum modulo 256.
uint8_t ModbusLrc(const uint8_t* data, size_t size);

} // namespace brivox
