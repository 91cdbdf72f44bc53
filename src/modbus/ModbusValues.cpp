#include "modbus/ModbusValues.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace brivox {

namespace {

constexpr std::pair<const char*, ModbusValueType> kTypeNames[] = {
    {"u16", ModbusValueType::U16},       {"s16", ModbusValueType::S16},
    {"hex", ModbusValueType::Hex},       {"bin", ModbusValueType::Bin},
    {"u32", ModbusValueType::U32},       {"s32", ModbusValueType::S32},
    {"f32", ModbusValueType::F32},       {"u64", ModbusValueType::U64},
    {"s64", ModbusValueType::S64},       {"f64", ModbusValueType::F64},
    {"string", ModbusValueType::String},
};

constexpr std::pair<const char*, ModbusWordOrder> kOrderNames[] = {
    {"ABCD", ModbusWordOrder::ABCD},
    {"CDAB", ModbusWordOrder::CDAB},
    {"BADC", ModbusWordOrder::BADC},
    {"DCBA", ModbusWordOrder::DCBA},
};

bool IsSigned(ModbusValueType type) {
    return type == ModbusValueType::S16 || type == ModbusValueType::S32 ||
           type == ModbusValueType::S64;
}

bool IsFloat(ModbusValueType type) {
    return type == ModbusValueType::F32 || type == ModbusValueType::F64;
}

bool IsPlain(const CModbusValueFormat& format) {
    return format.scale == 1 && format.offset == 0;
}

// Registers as they came (high byte first) to the bytes of the value from the most significant
// down, or back: each order is its own inverse.
void Reorder(std::vector<uint8_t>& bytes, ModbusWordOrder order) {
    switch (order) {
    case ModbusWordOrder::ABCD:
        return;
    case ModbusWordOrder::DCBA:
        std::reverse(bytes.begin(), bytes.end());
        return;
    case ModbusWordOrder::BADC:
    case ModbusWordOrder::CDAB:
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            std::swap(bytes[i], bytes[i + 1]);
        if (order == ModbusWordOrder::CDAB)
            std::reverse(bytes.begin(), bytes.end());
        return;
    }
}

std::vector<uint8_t> ValueBytes(const uint16_t* registers, int count, ModbusWordOrder order) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(registers[i] >> 8));
        bytes.push_back(static_cast<uint8_t>(registers[i]));
    }
    Reorder(bytes, order);
    return bytes;
}

std::vector<uint16_t> RegistersOf(std::vector<uint8_t> bytes, ModbusWordOrder order) {
    Reorder(bytes, order);
    std::vector<uint16_t> registers;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        registers.push_back(static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1]));
    return registers;
}

uint64_t BigEndian(const std::vector<uint8_t>& bytes) {
    uint64_t value = 0;
    for (const uint8_t byte : bytes)
        value = value << 8 | byte;
    return value;
}

std::vector<uint8_t> BigEndianBytes(uint64_t value, int size) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(value);
    return bytes;
}

template <typename Number> std::string Shortest(Number value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// A scaled integer to 12 significant digits, so that 1234 * 0.1 shows as 123.4.
std::string Scaled(double raw, const CModbusValueFormat& format) {
    char text[64];
    const double value = raw * format.scale + format.offset;
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 12).ptr;
    return std::string(text, end);
}

std::string FormatText(const std::vector<uint8_t>& bytes) {
    size_t length = bytes.size();
    while (length > 0 && bytes[length - 1] == 0)
        --length;
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F && bytes[i] != '\\') {
            text += static_cast<char>(bytes[i]);
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", bytes[i]);
        text += escaped;
    }
    return text;
}

std::string FormatNumber(uint64_t raw, const CModbusValueFormat& format, int bits) {
    const bool plain = IsPlain(format);
    switch (format.type) {
    case ModbusValueType::F32: {
        const float value = std::bit_cast<float>(static_cast<uint32_t>(raw));
        return Shortest(plain ? value : static_cast<float>(value * format.scale + format.offset));
    }
    case ModbusValueType::F64: {
        const double value = std::bit_cast<double>(raw);
        return Shortest(plain ? value : value * format.scale + format.offset);
    }
    default:
        break;
    }
    if (IsSigned(format.type)) {
        // Sign-extend from the value's width.
        const int64_t value = static_cast<int64_t>(raw << (64 - bits)) >> (64 - bits);
        return plain ? std::to_string(value) : Scaled(static_cast<double>(value), format);
    }
    return plain ? std::to_string(raw) : Scaled(static_cast<double>(raw), format);
}

std::string FormatOne(const uint16_t* registers, const CModbusValueFormat& format) {
    char text[32];
    switch (format.type) {
    case ModbusValueType::Hex:
        std::snprintf(text, sizeof text, "0x%04X", registers[0]);
        return text;
    case ModbusValueType::Bin:
        for (int bit = 0; bit < 16; ++bit)
            text[bit] = (registers[0] >> (15 - bit)) & 1 ? '1' : '0';
        return std::string(text, 16);
    case ModbusValueType::String:
        return FormatText(ValueBytes(registers, RegistersPerValue(format), format.order));
    default: {
        const int count = RegistersPerValue(format);
        return FormatNumber(BigEndian(ValueBytes(registers, count, format.order)), format,
                            16 * count);
    }
    }
}

// A whole number in decimal, or in hexadecimal after 0x; a leading minus for signed types.
template <typename Integer> bool ParseInteger(const std::string& text, Integer& value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
    return error == std::errc() && ptr == end && begin != end;
}

bool ParseDouble(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end && !text.empty();
}

std::string OutOfRange(const std::string& text, ModbusValueType type) {
    return "\"" + text + "\" is out of range for " + ModbusValueTypeName(type);
}

// The raw bits of an integer value, the scale and offset undone; error text, empty on success.
std::string EncodeInteger(const std::string& text, const CModbusValueFormat& format, int bits,
                          uint64_t& raw) {
    const bool isSigned = IsSigned(format.type);
    if (IsPlain(format)) {
        int64_t signedValue = 0;
        uint64_t unsignedValue = 0;
        if (isSigned ? !ParseInteger(text, signedValue) : !ParseInteger(text, unsignedValue))
            return "\"" + text + "\" is not a whole number for " + ModbusValueTypeName(format.type);
        if (isSigned) {
            const int64_t limit =
                bits == 64 ? std::numeric_limits<int64_t>::max() : (int64_t{1} << (bits - 1)) - 1;
            if (signedValue > limit || signedValue < -limit - 1)
                return OutOfRange(text, format.type);
            raw = static_cast<uint64_t>(signedValue);
        } else {
            if (bits < 64 && unsignedValue >> bits != 0)
                return OutOfRange(text, format.type);
            raw = unsignedValue;
        }
    } else {
        double value = 0;
        if (!ParseDouble(text, value))
            return "\"" + text + "\" is not a number";
        const double scaled = std::round((value - format.offset) / format.scale);
        const double low = isSigned ? -std::ldexp(1.0, bits - 1) : 0;
        const double high = std::ldexp(1.0, isSigned ? bits - 1 : bits);
        if (!(scaled >= low && scaled < high))
            return OutOfRange(text, format.type);
        raw = isSigned ? static_cast<uint64_t>(static_cast<int64_t>(scaled))
                       : static_cast<uint64_t>(scaled);
    }
    if (bits < 64)
        raw &= (uint64_t{1} << bits) - 1;
    return "";
}

std::string EncodeFloat(const std::string& text, const CModbusValueFormat& format, uint64_t& raw) {
    double value = 0;
    if (!ParseDouble(text, value))
        return "\"" + text + "\" is not a number";
    value = (value - format.offset) / format.scale;
    if (format.type == ModbusValueType::F64) {
        raw = std::bit_cast<uint64_t>(value);
        return "";
    }
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
        return OutOfRange(text, format.type);
    raw = std::bit_cast<uint32_t>(static_cast<float>(value));
    return "";
}

std::string EncodeDigits(const std::string& text, int base, uint16_t& value) {
    std::string digits = text;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x')
        digits.erase(0, 2);
    unsigned parsed = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, error] = std::from_chars(digits.data(), end, parsed, base);
    if (error != std::errc() || ptr != end || digits.empty() || parsed > 0xFFFF)
        return "\"" + text + "\" is not a register in " + (base == 16 ? "hex" : "binary");
    value = static_cast<uint16_t>(parsed);
    return "";
}

std::string EncodeText(const std::string& text, const CModbusValueFormat& format,
                       std::vector<uint16_t>& registers) {
    const size_t room = 2 * static_cast<size_t>(RegistersPerValue(format));
    if (text.size() > room)
        return "\"" + text + "\" is longer than " + std::to_string(room) + " characters";
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.resize(room, 0);
    registers = RegistersOf(std::move(bytes), format.order);
    return "";
}

} // namespace

std::string ModbusValueTypeName(ModbusValueType type) {
    for (const auto& [name, known] : kTypeNames)
        if (known == type)
            return name;
    return "";
}

std::string ModbusWordOrderName(ModbusWordOrder order) {
    for (const auto& [name, known] : kOrderNames)
        if (known == order)
            return name;
    return "";
}

std::string ParseModbusValueType(const std::string& name, ModbusValueType& type) {
    for (const auto& [known, value] : kTypeNames)
        if (name == known) {
            type = value;
            return "";
        }
    return "unknown type " + name + " (u16, s16, hex, bin, u32, s32, f32, u64, s64, f64 or string)";
}

std::string ParseModbusWordOrder(const std::string& name, ModbusWordOrder& order) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const auto& [known, value] : kOrderNames)
        if (upper == known) {
            order = value;
            return "";
        }
    return "unknown order " + name + " (ABCD, CDAB, BADC or DCBA)";
}

int RegistersPerValue(const CModbusValueFormat& format) {
    switch (format.type) {
    case ModbusValueType::U32:
    case ModbusValueType::S32:
    case ModbusValueType::F32:
        return 2;
    case ModbusValueType::U64:
    case ModbusValueType::S64:
    case ModbusValueType::F64:
        return 4;
    case ModbusValueType::String:
        return std::max(1, format.stringRegisters);
    default:
        return 1;
    }
}

std::vector<std::string> FormatModbusValues(const std::vector<uint16_t>& registers,
                                            const CModbusValueFormat& format) {
    const size_t step = static_cast<size_t>(RegistersPerValue(format));
    std::vector<std::string> values;
    for (size_t i = 0; i + step <= registers.size(); i += step)
        values.push_back(FormatOne(&registers[i], format));
    return values;
}

std::string EncodeModbusValue(const std::string& text, const CModbusValueFormat& format,
                              std::vector<uint16_t>& registers) {
    registers.clear();
    if (format.scale == 0)
        return "a scale of 0 cannot be written back";
    uint16_t single = 0;
    std::string error;
    uint64_t raw = 0;
    const int count = RegistersPerValue(format);
    switch (format.type) {
    case ModbusValueType::Hex:
    case ModbusValueType::Bin:
        error = EncodeDigits(text, format.type == ModbusValueType::Hex ? 16 : 2, single);
        if (error.empty())
            registers = {single};
        return error;
    case ModbusValueType::String:
        return EncodeText(text, format, registers);
    default:
        error = IsFloat(format.type) ? EncodeFloat(text, format, raw)
                                     : EncodeInteger(text, format, 16 * count, raw);
    }
    if (error.empty())
        registers = RegistersOf(BigEndianBytes(raw, 2 * count), format.order);
    return error;
}

} // namespace brivox
