#include "cli/RunOptions.h"

#include "serial/LineConfig.h"

#include <charconv>

namespace brivox::cli {

namespace {

constexpr int kMaxTimeoutMs = 3600 * 1000;
constexpr int kMaxDelayMs = 500; // the form's "Delay between bytes"
constexpr int kMaxSeconds = 366 * 24 * 3600;

} // namespace

bool NumberIn(const std::string& text, int low, int high, int& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end && value >= low && value <= high;
}

std::string ParsePort(const std::string& port, CRunOptions& options) {
    if (port.empty())
        return "--port needs COM<n> (as brivox-cli ports lists them), a device path or a serial "
               "server's rfc2217://HOST:PORT or tcp://HOST:PORT";
    const bool comName = port.size() > 3 && port.compare(0, 3, "COM") == 0 &&
                         port.find_first_not_of("0123456789", 3) == std::string::npos;
    options.portNumber = 0;
    options.devicePath.clear();
    if (!comName) {
        options.devicePath = port;
        return "";
    }
    if (!NumberIn(port.substr(3), 1, 99999, options.portNumber))
        return "--port " + port + ": COM numbers start at COM1";
    return "";
}

std::string CheckLineSettings(const std::string& text) {
    CLineConfig line;
    std::string error = ParseLineConfig(text, line);
    if (error.empty())
        error = LineRefusal(line);
    return error.empty() ? "" : "--settings " + text + ": " + error;
}

std::string ParseSeconds(const CCliArguments& args, int& seconds) {
    if (args.Has("--seconds") && !NumberIn(args.Value("--seconds"), 1, kMaxSeconds, seconds))
        return "--seconds " + args.Value("--seconds") + ": give a whole number from 1 to " +
               std::to_string(kMaxSeconds);
    return "";
}

const char kLineOptionsUsage[] =
    "[--flow none|rtscts|xonxoff] [--dtr keep|low|high] [--rts keep|low|high] [--pulse STEPS] "
    "[--rs485 high|low [--rs485-delay BEFORE,AFTER]]";

std::vector<COptionSpec> WithLineOptions(std::vector<COptionSpec> options) {
    options.insert(options.end(), {{"--flow", true},
                                   {"--dtr", true},
                                   {"--rts", true},
                                   {"--pulse", true},
                                   {"--rs485", true},
                                   {"--rs485-delay", true}});
    return options;
}

namespace {

std::string ParseLineOptions(const CCliArguments& args, CRunOptions& options) {
    const std::string flow = args.Value("--flow", "none");
    if (flow == "rtscts" || flow == "xonxoff" || flow == "none")
        options.flow = flow == "rtscts"    ? FlowControl::RtsCts
                       : flow == "xonxoff" ? FlowControl::XonXoff
                                           : FlowControl::None;
    else
        return "--flow " + flow + ": give none, rtscts or xonxoff";
    for (const auto& [name, level] :
         {std::pair{"--dtr", &options.policy.dtr}, std::pair{"--rts", &options.policy.rts}}) {
        const std::string text = args.Value(name);
        if ((args.Has(name) && text.empty()) || !ParseLineLevel(text, *level))
            return std::string(name) + " " + text + ": give keep, low or high";
    }
    for (const auto& [name, parse] :
         {std::pair{"--pulse", +[](const std::string&text,
                                   CRunOptions&read) { return ParsePulse(text, read.pulse); }},
          std::pair{"--rs485", +[](const std::string&text,
                                   CRunOptions&read) { return ParseRs485Level(text, read.rs485); }},
          std::pair{"--rs485-delay", +[](const std::string&text, CRunOptions&read) {
                        return ParseRs485Delays(text, read.rs485);
                    }}}) {
        if (!args.Has(name))
            continue;
        if (const std::string error = parse(args.Value(name), options); !error.empty())
            return std::string(name) + " " + args.Value(name) + ": " + error;
    }
    if (args.Has("--rs485-delay") && !options.rs485.enabled)
        return "--rs485-delay goes with --rs485 high|low";
    return "";
}

} // namespace

std::string ParseRunOptions(const CCliArguments& args, CRunOptions& options) {
    if (std::string error = ParsePort(args.Value("--port"), options); !error.empty())
        return error;
    options.settings = args.Value("--settings", options.settings);
    if (std::string error = CheckLineSettings(options.settings); !error.empty())
        return error;
    if (args.Has("--timeout") &&
        !NumberIn(args.Value("--timeout"), 1, kMaxTimeoutMs, options.timeoutMs))
        return "--timeout " + args.Value("--timeout") + ": give milliseconds from 1 to " +
               std::to_string(kMaxTimeoutMs);
    if (args.Has("--delay") && !NumberIn(args.Value("--delay"), 0, kMaxDelayMs, options.delayMs))
        return "--delay " + args.Value("--delay") + ": give milliseconds from 0 to " +
               std::to_string(kMaxDelayMs);
    return ParseLineOptions(args, options);
}

} // namespace brivox::cli
