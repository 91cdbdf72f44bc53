#include "modbus/ModbusChecksum.h"

#include "checksum/Checksum.h"

namespace brivox {

CModbusCrc ModbusCrc16(const uint8_t* data, size_t size) {
    static const CChecksum crc = CChecksum::ByName("crc16-modbus");
    const std::vector<uint8_t> bytes = crc.Bytes(data, size);
    return {bytes[0], bytes[1]};
}

uint8_t ModbusLrc(const uint8_t* data, size_t size) {
    static const CChecksum lrc = CChecksum::ByName("lrc");
    return lrc.Bytes(data, size)[0];
}

} // namespace brivox
