#include "modbus/ModbusValues.h"

#include <gtest/gtest.h>
#include <vector>

namespace brivox {
namespace {

using Type = ModbusValueType;
using Order = ModbusWordOrder;

CModbusValueFormat Format(Type type, Order order = Order::ABCD, double scale = 1, double offset = 0,
                          int stringRegisters = 1) {
    return {type, order, scale, offset, stringRegisters};
}

struct CValueCase {
    CModbusValueFormat format;
    std::vector<uint16_t> registers;
    const char* text;
};

// Each value both ways: the registers read as the text, and the text written as the registers.
const CValueCase kValues[] = {
    {Format(Type::U16), {0xFFFF}, "65535"},
    {Format(Type::S16), {0xFFFF}, "-1"},
    {Format(Type::S16), {0x8000}, "-32768"},
    {Format(Type::Hex), {0x0FD0}, "0x0FD0"},
    {Format(Type::Bin), {0x4049}, "0100000001001001"},
    {Format(Type::F32, Order::ABCD), {0x4049, 0x0FD0}, "3.14159"},
    {Format(Type::F32, Order::CDAB), {0x0FD0, 0x4049}, "3.14159"},
    {Format(Type::F32, Order::BADC), {0x4940, 0xD00F}, "3.14159"},
    {Format(Type::F32, Order::DCBA), {0xD00F, 0x4940}, "3.14159"},
    {Format(Type::U32, Order::ABCD), {0x1234, 0x5678}, "305419896"},
    {Format(Type::U32, Order::CDAB), {0x5678, 0x1234}, "305419896"},
    {Format(Type::S32, Order::ABCD), {0xFFFF, 0xFFFE}, "-2"},
    {Format(Type::S32, Order::DCBA), {0xFEFF, 0xFFFF}, "-2"},
    {Format(Type::U64, Order::ABCD), {0x0102, 0x0304, 0x0506, 0x0708}, "72623859790382856"},
    {Format(Type::U64, Order::CDAB), {0x0708, 0x0506, 0x0304, 0x0102}, "72623859790382856"},
    {Format(Type::U64, Order::BADC), {0x0201, 0x0403, 0x0605, 0x0807}, "72623859790382856"},
    {Format(Type::S64, Order::ABCD), {0xFFFF, 0xFFFF, 0xFFFF, 0xFF85}, "-123"},
    {Format(Type::F64, Order::ABCD), {0x4009, 0x21FB, 0x5444, 0x2D18}, "3.141592653589793"},
    {Format(Type::F64, Order::CDAB), {0x2D18, 0x5444, 0x21FB, 0x4009}, "3.141592653589793"},
    {Format(Type::F64, Order::BADC), {0x0940, 0xFB21, 0x4454, 0x182D}, "3.141592653589793"},
    {Format(Type::F64, Order::DCBA), {0x182D, 0x4454, 0xFB21, 0x0940}, "3.141592653589793"},
    {Format(Type::U16, Order::ABCD, 0.1), {1234}, "123.4"},
    {Format(Type::S16, Order::ABCD, 2, 1), {0xFFFB}, "-9"},
    {Format(Type::F32, Order::ABCD, 10, -1), {0x3F80, 0x0000}, "9"},
    {Format(Type::String, Order::ABCD, 1, 0, 3), {0x5055, 0x4D50, 0x2031}, "PUMP 1"},
    {Format(Type::String, Order::BADC, 1, 0, 2), {0x5550, 0x0050}, "PUP"},
};

TEST(ModbusValuesTest, EachTypeAndOrderReadsAndWritesItsKnownRegisters) {
    for (const CValueCase& c : kValues) {
        const std::vector<std::string> read = FormatModbusValues(c.registers, c.format);
        ASSERT_EQ(read.size(), 1u) << c.text;
        EXPECT_EQ(read[0], c.text);
        std::vector<uint16_t> written;
        EXPECT_EQ(EncodeModbusValue(c.text, c.format, written), "") << c.text;
        EXPECT_EQ(written, c.registers) << c.text;
    }
}

TEST(ModbusValuesTest, RegistersAreReadAsManyWholeValuesAsTheyHold) {
    const std::vector<uint16_t> registers = {0x4049, 0x0FD0, 0x3F80, 0x0000, 0x1234};
    EXPECT_EQ(FormatModbusValues(registers, Format(Type::F32)),
              (std::vector<std::string>{"3.14159", "1"}));
    EXPECT_EQ(FormatModbusValues(registers, Format(Type::F64)).size(), 1u);
    EXPECT_EQ(FormatModbusValues({0x4100, 0x0142}, Format(Type::String, Order::ABCD, 1, 0, 2)),
              (std::vector<std::string>{"A\\x00\\x01B"}))
        << "bytes that are not text are shown escaped";
}

TEST(ModbusValuesTest, ValuesThatCannotBeWrittenAreRefusedWithAReason) {
    const struct {
        CModbusValueFormat format;
        const char* text;
        const char* error;
    } cases[] = {
        {Format(Type::U16), "70000", "\"70000\" is out of range for u16"},
        {Format(Type::U16), "-1", "\"-1\" is not a whole number for u16"},
        {Format(Type::S16), "32768", "\"32768\" is out of range for s16"},
        {Format(Type::S16), "2.5", "\"2.5\" is not a whole number for s16"},
        {Format(Type::U16, Order::ABCD, 0.1), "6553.6", "\"6553.6\" is out of range for u16"},
        {Format(Type::F32), "1e39", "\"1e39\" is out of range for f32"},
        {Format(Type::F64), "pi", "\"pi\" is not a number"},
        {Format(Type::Hex), "12345", "\"12345\" is not a register in hex"},
        {Format(Type::Bin), "102", "\"102\" is not a register in binary"},
        {Format(Type::String, Order::ABCD, 1, 0, 1), "ABC", "\"ABC\" is longer than 2 characters"},
        {Format(Type::U16, Order::ABCD, 0), "1", "a scale of 0 cannot be written back"},
    };
    for (const auto& c : cases) {
        std::vector<uint16_t> registers = {7};
        EXPECT_EQ(EncodeModbusValue(c.text, c.format, registers), c.error);
        EXPECT_TRUE(registers.empty()) << c.text;
    }
}

TEST(ModbusValuesTest, TypeAndOrderNames) {
    ModbusValueType type = Type::U16;
    EXPECT_EQ(ParseModbusValueType("f64", type), "");
    EXPECT_EQ(type, Type::F64);
    EXPECT_NE(ParseModbusValueType("float", type), "");
    ModbusWordOrder order = Order::ABCD;
    EXPECT_EQ(ParseModbusWordOrder("cdab", order), "");
    EXPECT_EQ(order, Order::CDAB);
    EXPECT_EQ(ParseModbusWordOrder("ACBD", order), "unknown order ACBD (ABCD, CDAB, BADC or DCBA)");
}

} // namespace
} // namespace brivox
