#include "modbus/ModbusWrite.h"

#include "modbus/ModbusIdentification.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ModbusWriteTest, EachWriteFunctionBuildsItsRequest) {
    auto write = [](int function, int start, std::vector<uint16_t> values) {
        CModbusWrite w;
        w.slave = 0x11;
        w.function = function;
        w.start = start;
        w.values = std::move(values);
        return w;
    };
    CModbusWrite mask = write(0x16, 0x0004, {});
    mask.andMask = 0x00F2;
    mask.orMask = 0x0025;
    CModbusWrite readWrite = write(0x17, 0x000E, {0x00FF, 0x00FF, 0x00FF});
    readWrite.readStart = 0x0003;
    readWrite.readCount = 6;
    const struct {
        CModbusWrite write;
        Bytes adu;
        const char* error;
    } cases[] = {
        {write(0x05, 0x00AC, {1}), {0x11, 0x05, 0x00, 0xAC, 0xFF, 0x00}, ""},
        {write(0x05, 0x00AC, {0}), {0x11, 0x05, 0x00, 0xAC, 0x00, 0x00}, ""},
        {write(0x06, 0x0001, {0x0003}), {0x11, 0x06, 0x00, 0x01, 0x00, 0x03}, ""},
        {write(0x0F, 0x0013, {1, 0, 1, 1, 0, 0, 1, 1, 1, 0}),
         {0x11, 0x0F, 0x00, 0x13, 0x00, 0x0A, 0x02, 0xCD, 0x01},
         ""},
        {write(0x10, 0x0001, {0x000A, 0x0102}),
         {0x11, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02},
         ""},
        {mask, {0x11, 0x16, 0x00, 0x04, 0x00, 0xF2, 0x00, 0x25}, ""},
        {readWrite,
         {0x11, 0x17, 0x00, 0x03, 0x00, 0x06, 0x00, 0x0E, 0x00, 0x03, 0x06, 0x00, 0xFF, 0x00, 0xFF,
          0x00, 0xFF},
         ""},
        {write(0x06, 0x0001, {1, 2}), {}, "functions 05 and 06 write one value"},
        {write(0x10, 0x0001, {}), {}, "function 10 writes 1 to 123 values"},
        {write(0x10, 0xFFFF, {1, 2}), {}, "the values reach past address FFFF"},
        {write(0x03, 0x0001, {1}), {}, "the write functions are 05, 06, 0F, 10, 16 and 17"},
    };
    for (const auto& c : cases) {
        Bytes adu;
        EXPECT_EQ(BuildModbusWrite(c.write, adu), c.error);
        EXPECT_EQ(adu, c.adu) << c.error;
    }
}

TEST(ModbusWriteTest, DeviceIdentificationObjectsAreDecoded) {
    const Bytes reply = {0x01, 0x2B, 0x0E, 0x01, 0x01, 0xFF, 0x02, 0x02, 0x00,
                         0x03, 'A',  'C',  0x07, 0x01, 0x02, 'P',  '1'};
    CModbusDeviceIdentification identification;
    ASSERT_TRUE(DecodeDeviceIdentification(reply, identification));
    ASSERT_EQ(identification.objects.size(), 2u);
    EXPECT_EQ(ModbusDeviceObjectName(identification.objects[0].id), "vendor");
    EXPECT_EQ(identification.objects[0].value, "AC.") << "a control byte is not printed";
    EXPECT_EQ(identification.objects[1].value, "P1");
    EXPECT_TRUE(identification.moreFollows);
    EXPECT_EQ(identification.nextObject, 2);
    EXPECT_EQ(ModbusDeviceObjectName(0x80), "object 80");
    const Bytes cut(reply.begin(), reply.end() - 1);
    EXPECT_FALSE(DecodeDeviceIdentification(cut, identification));
    EXPECT_EQ(DescribeSlaveId({0x01, 0x11, 0x02, 0x0A, 0xFF}), "0A FF") << "no text in it";
}

} // namespace
} // namespace brivox
