#include "cli/ModbusOptions.h"

#include "options/OptionKeys.h"

#include <charconv>

namespace brivox::cli {

namespace {

constexpr int kMultipleBitWriteIndex = 4;
constexpr int kMultipleWordWriteIndex = 5;

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

} // namespace

const char kModbusFieldsUsage[] =
    "--function 01|02|03|04|05|06|0F|10 [--slave N] [--start HEX] [--length N] [--word HEX] "
    "[--bit-on 0|1] [--bits \"CD 01\"] [--words \"000A 0102\"]";

std::vector<COptionSpec> ModbusFieldSpecs() {
    return {{"--function", true}, {"--slave", true},  {"--start", true}, {"--length", true},
            {"--word", true},     {"--bit-on", true}, {"--bits", true},  {"--words", true}};
}

std::string ApplyModbusFields(const CCliArguments& args, COptionStore& options,
                              CModbusBoxes& boxes) {
    const int function = FunctionIndex(args.Value("--function"));
    if (function < 0)
        return "--function takes one of 01 02 03 04 05 06 0F 10";
    options.SetInt(opt::kModbusFunctionIndex, function);
    boxes = {function == kMultipleBitWriteIndex, function == kMultipleWordWriteIndex};

    const std::pair<const char*, const char*> numbers[] = {{"--slave", opt::kModbusSlaveAddress},
                                                           {"--length", opt::kModbusLength},
                                                           {"--bit-on", opt::kModbusBitOn}};
    for (const auto& [option, key] : numbers) {
        int32_t value = 0;
        if (args.Has(option) && !ParseInt(args.Value(option), 10, value))
            return std::string(option) + " takes a decimal number";
        if (args.Has(option))
            options.SetInt(key, value);
    }
    const std::pair<const char*, const char*> texts[] = {{"--start", opt::kModbusStartAddress},
                                                         {"--word", opt::kModbusWordData},
                                                         {"--bits", opt::kModbusBitsData},
                                                         {"--words", opt::kModbusWordsData}};
    for (const auto& [option, key] : texts) {
        if (args.Has(option))
            options.SetString(key, args.Value(option));
    }
    return "";
}

} // namespace brivox::cli
