#include "modbus/ModbusFields.h"

#include "options/OptionKeys.h"
#include "util/Text.h"

#include <charconv>

namespace brivox {

namespace {

constexpr int kMultipleBitWriteIndex = 4;
constexpr int kMultipleWordWriteIndex = 5;
// A request's byte count is one byte: at most 255 bytes of coils or registers.
constexpr int kMaxWriteBits = 255 * 8;
constexpr size_t kMaxWriteWords = 255 / 2;
// The form's length rule for the two data boxes.
constexpr size_t kMaxDataText = 2000;

bool ParseInt(const std::string& text, int base, int32_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && error == std::errc() && stop == end;
}

// The combo index of a function code given in hex ("03", "0F", "10").
int FunctionIndex(const std::string& code) {
    int32_t value = 0;
    if (!ParseInt(code, 16, value))
        return -1;
    for (int i = 0; i < static_cast<int>(std::size(kModbusFunctionCodes)); ++i) {
        if (kModbusFunctionCodes[i] == value)
            return i;
    }
    return -1;
}

bool IsHexText(const std::string& text, bool spaces) {
    return text.find_first_not_of(spaces ? "0123456789abcdefABCDEF " : "0123456789abcdefABCDEF") ==
           std::string::npos;
}

// A field the form validates, as the command line takes it.
struct CFieldRule {
    const char* name;
    const char* key;
    enum { Decimal, FourHexDigits, HexList } kind;
    int32_t min;
    int32_t max;
    const char* rule; // what the value must be, for the message
};

constexpr CFieldRule kFieldRules[] = {
    {"--slave", opt::kModbusSlaveAddress, CFieldRule::Decimal, 0, 254,
     "the slave address must be 0 to 254 (decimal)"},
    {"--length", opt::kModbusLength, CFieldRule::Decimal, 1, 65535,
     "the length must be 1 to 65535 (decimal)"},
    {"--bit-on", opt::kModbusBitOn, CFieldRule::Decimal, 0, 1, "bit on must be 0 or 1"},
    {"--start", opt::kModbusStartAddress, CFieldRule::FourHexDigits, 0, 0,
     "the start address must be 4 hexadecimal digits (0000 to FFFF)"},
    {"--word", opt::kModbusWordData, CFieldRule::FourHexDigits, 0, 0,
     "the word data must be 4 hexadecimal digits (0000 to FFFF)"},
    {"--bits", opt::kModbusBitsData, CFieldRule::HexList, 0, 0,
     "the coil bytes must be hexadecimal pairs separated by spaces, at most 2000 characters"},
    {"--words", opt::kModbusWordsData, CFieldRule::HexList, 0, 0,
     "the words must be groups of 4 hexadecimal digits separated by spaces, at most 2000 "
     "characters"},
};

// Stores the field's value under its key; an error text when the value breaks the rule.
std::string ApplyField(const CFieldRule& field, const std::string& value, COptionStore& options) {
    const std::string refused = std::string(field.name) + " " + value + ": " + field.rule;
    if (field.kind == CFieldRule::Decimal) {
        int32_t number = 0;
        if (!ParseInt(value, 10, number) || number < field.min || number > field.max)
            return refused;
        options.SetInt(field.key, number);
        return "";
    }
    const bool fourDigits = field.kind == CFieldRule::FourHexDigits;
    if (!IsHexText(value, !fourDigits) ||
        (fourDigits ? value.size() != 4 : value.size() > kMaxDataText))
        return refused;
    options.SetString(field.key, value);
    return "";
}

// The byte count of a multiple write must fit in its one byte.
std::string CheckByteCount(int function, const COptionStore& options) {
    if (function == kMultipleBitWriteIndex && options.GetInt(opt::kModbusLength, 0) > kMaxWriteBits)
        return "--length " + std::to_string(options.GetInt(opt::kModbusLength, 0)) +
               ": for function 0F the length must be 1 to " + std::to_string(kMaxWriteBits) +
               " (its byte count must fit in one byte)";
    if (function == kMultipleWordWriteIndex &&
        SplitText(options.GetString(opt::kModbusWordsData), " ").size() > kMaxWriteWords)
        return "--words: function 10 writes at most " + std::to_string(kMaxWriteWords) +
               " words (their byte count must fit in one byte)";
    return "";
}

} // namespace

const char kModbusFieldsUsage[] =
    "--function 01|02|03|04|05|06|0F|10 [--slave 0-254] [--start HHHH] [--length 1-65535] "
    "[--word HHHH] [--bit-on 0|1] [--bits \"CD 01\"] [--words \"000A 0102\"]";

const std::vector<std::string>& ModbusFieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all = {"--function"};
        for (const CFieldRule& field : kFieldRules)
            all.push_back(field.name);
        return all;
    }();
    return names;
}

std::string ApplyModbusFields(const CModbusFieldValues& values, COptionStore& options,
                              CModbusBoxes& boxes) {
    const auto function = values.find("--function");
    const int index = function == values.end() ? -1 : FunctionIndex(function->second);
    if (index < 0)
        return "--function takes one of 01 02 03 04 05 06 0F 10";
    options.SetInt(opt::kModbusFunctionIndex, index);
    boxes = {index == kMultipleBitWriteIndex, index == kMultipleWordWriteIndex};
    for (const CFieldRule& field : kFieldRules) {
        const auto given = values.find(field.name);
        if (given == values.end())
            continue;
        if (std::string error = ApplyField(field, given->second, options); !error.empty())
            return error;
    }
    return CheckByteCount(index, options);
}

} // namespace brivox
