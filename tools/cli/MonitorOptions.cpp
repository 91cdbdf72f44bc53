#include "cli/MonitorOptions.h"

#include "serial/LineConfig.h"
#include "serial/SerialSettings.h"
#include "testbench/FrameSplitter.h"

#include <algorithm>
#include <iterator>

namespace brivox::cli {

namespace {

constexpr int64_t kMinGapUs = 100;
constexpr int64_t kMaxGapUs = 60 * 1000 * 1000;
constexpr int64_t kAsciiGapUs = 1000 * 1000;

// Milliseconds with up to three decimals ("1.75") as microseconds; -1 when it is no such number.
int64_t MicrosecondsOf(const std::string& text) {
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    if (whole.empty() || whole.size() > 8 || fraction.size() > 3 ||
        (point != std::string::npos && fraction.empty()) ||
        (whole + fraction).find_first_not_of("0123456789") != std::string::npos)
        return -1;
    fraction.resize(3, '0');
    return std::stoll(whole) * 1000 + std::stoll(fraction);
}

template <typename Choice>
bool Choose(const std::string& word, std::initializer_list<std::pair<const char*, Choice>> choices,
            Choice& chosen) {
    for (const auto& [name, value] : choices) {
        if (word == name) {
            chosen = value;
            return true;
        }
    }
    return false;
}

int64_t DefaultGapUs(const CMonitorOptions& options) {
    if (options.modbus == CMonitorLines::Modbus::Ascii)
        return kAsciiGapUs;
    CSerialSettings settings;
    settings.SetSettings(options.port.settings);
    return ModbusRtuGapUs(LineConfigFor(settings));
}

std::string ParsePorts(const CCliArguments& args, CMonitorOptions& options) {
    for (const std::string& name : args.Values("--port")) {
        if (std::find(options.names.begin(), options.names.end(), name) != options.names.end())
            return "--port " + name + " is given twice";
        CRunOptions port = options.port;
        if (std::string error = ParsePort(name, port); !error.empty())
            return error;
        options.ports.push_back(port);
        options.names.push_back(name);
    }
    return "";
}

// Two writers of one file would spoil it.
std::string CheckOutputFiles(const CCliArguments& args) {
    const char* outputs[] = {"--log", "--pcapng", "--capture"};
    for (size_t i = 0; i < std::size(outputs); ++i) {
        if (args.Has(outputs[i]) && args.Value(outputs[i]).empty())
            return std::string(outputs[i]) + " needs a file name";
        for (size_t j = 0; j < i; ++j)
            if (args.Has(outputs[i]) && args.Value(outputs[i]) == args.Value(outputs[j]))
                return std::string(outputs[j]) + " and " + outputs[i] + " name the same file";
    }
    return "";
}

} // namespace

std::string ParseMonitorOptions(const CCliArguments& args, CMonitorOptions& options) {
    if (std::string error = ParseRunOptions(args, options.port); !error.empty())
        return error;
    if (std::string error = ParsePorts(args, options); !error.empty())
        return error;
    using Modbus = CMonitorLines::Modbus;
    using Format = CMonitorLines::Format;
    if (args.Has("--modbus") &&
        !Choose(args.Value("--modbus"), {{"rtu", Modbus::Rtu}, {"ascii", Modbus::Ascii}},
                options.modbus))
        return "--modbus " + args.Value("--modbus") + ": give rtu or ascii";
    if (args.Has("--format") &&
        !Choose(args.Value("--format"), {{"text", Format::Text}, {"jsonl", Format::Jsonl}},
                options.format))
        return "--format " + args.Value("--format") + ": give text or jsonl";
    options.gapUs = args.Has("--gap") ? MicrosecondsOf(args.Value("--gap")) : DefaultGapUs(options);
    if (options.gapUs < kMinGapUs || options.gapUs > kMaxGapUs)
        return "--gap " + args.Value("--gap") + ": give milliseconds from 0.1 to 60000";
    options.logPath = args.Value("--log");
    options.pcapngPath = args.Value("--pcapng");
    options.keepGoing = args.Has("--keep-going");
    if (std::string error = CheckOutputFiles(args); !error.empty())
        return error;
    return ParseSeconds(args, options.seconds);
}

} // namespace brivox::cli
