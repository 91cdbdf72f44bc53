// Registers read as the device means them: 16-, 32- and 64-bit integers and floats in any of
// the four word and byte orders devices use, text, and a scale and offset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

enum class ModbusValueType { U16, S16, Hex, Bin, U32, S32, F32, U64, S64, F64, String };

// Where the bytes of a value of several registers stand, named by the bytes of a 32-bit value
// from the most significant (A) down: ABCD is big-endian (MODBUS's own order), CDAB swaps the
// registers, BADC the bytes within each register, DCBA both. 64-bit values follow the same rule
// over four registers.
enum class ModbusWordOrder { ABCD, CDAB, BADC, DCBA };

struct CModbusValueFormat {
    ModbusValueType type = ModbusValueType::U16;
    ModbusWordOrder order = ModbusWordOrder::ABCD;
    double scale = 1; // shown = raw * scale + offset (numbers only)
    double offset = 0;
    int stringRegisters = 1; // the registers of one String value
};

// "u16", "f32"...; "ABCD", "CDAB"... (the enums' order is the names').
std::string ModbusValueTypeName(ModbusValueType type);
std::string ModbusWordOrderName(ModbusWordOrder order);

// Error texts, empty when the name is known ("u16", "f32", "string"...; "ABCD", "cdab"...).
std::string ParseModbusValueType(const std::string& name, ModbusValueType& type);
std::string ParseModbusWordOrder(const std::string& name, ModbusWordOrder& order);

// How many registers one value takes.
int RegistersPerValue(const CModbusValueFormat& format);

// One text per whole value in the registers, in order; registers after the last whole value
// are left out.
std::vector<std::string> FormatModbusValues(const std::vector<uint16_t>& registers,
                                            const CModbusValueFormat& format);

// The registers that carry the value written as text ("3.14", "-2", "0x1F", "0101", "PUMP 1"),
// undoing the scale and offset. Error text, empty on success; registers are left empty then.
std::string EncodeModbusValue(const std::string& text, const CModbusValueFormat& format,
                              std::vector<uint16_t>& registers);

} // namespace brivox
