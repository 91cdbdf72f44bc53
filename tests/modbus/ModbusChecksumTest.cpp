#include "modbus/ModbusChecksum.h"

#include <gtest/gtest.h>
#include <vector>

namespace brivox {
namespace {

// The textbook bit-by-bit CRC, to check the tables against.
uint16_t BitwiseCrc(const std::vector<uint8_t>& data) {
    uint16_t crc = 0xFFFF;
    for (const uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

TEST(ModbusChecksumTest, CrcMatchesKnownFramesAndTheBitwiseDefinition) {
    const std::vector<uint8_t> readRegisters = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
    const CModbusCrc crc = ModbusCrc16(readRegisters.data(), readRegisters.size());
    EXPECT_EQ(crc.first, 0xC5);
    EXPECT_EQ(crc.second, 0xCD);

    std::vector<uint8_t> data;
    for (int i = 0; i < 300; ++i) {
        data.push_back(static_cast<uint8_t>(i * 37 + 11));
        const CModbusCrc tables = ModbusCrc16(data.data(), data.size());
        const uint16_t bitwise = BitwiseCrc(data);
        ASSERT_EQ(tables.first, bitwise & 0xFF) << i;
        ASSERT_EQ(tables.second, bitwise >> 8) << i;
    }
    const CModbusCrc empty = ModbusCrc16(nullptr, 0);
    EXPECT_EQ(empty.first, 0xFF);
    EXPECT_EQ(empty.second, 0xFF);
}

TEST(ModbusChecksumTest, LrcIsTheTwosComplementOfTheSum) {
    const std::vector<uint8_t> readRegisters = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
    EXPECT_EQ(ModbusLrc(readRegisters.data(), readRegisters.size()), 0xF2);
    const std::vector<uint8_t> wraps = {0xFF, 0xFF, 0x02};
    EXPECT_EQ(ModbusLrc(wraps.data(), wraps.size()), 0x00);
    EXPECT_EQ(ModbusLrc(nullptr, 0), 0x00);
}

} // namespace
} // namespace brivox
