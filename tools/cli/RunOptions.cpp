#include "cli/RunOptions.h"

#include "session/FormStates.h"
#include "util/Text.h"

#include <algorithm>
#include <charconv>

namespace brivox::cli {

namespace {

constexpr int kMaxTimeoutMs = 3600 * 1000;
constexpr int kMaxDelayMs = 500; // the form's "Delay between bytes"
constexpr int kMaxSeconds = 366 * 24 * 3600;

// A whole decimal number in [low, high].
bool NumberIn(const std::string& text, int low, int high, int& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end && value >= low && value <= high;
}

} // namespace

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
    const std::vector<std::string> rates = SplitText(kBaudRateItems, "|");
    const std::vector<std::string> fields = SplitText(text, ",");
    const bool valid =
        fields.size() == 4 && std::find(rates.begin(), rates.end(), fields[0]) != rates.end() &&
        (fields[1] == "N" || fields[1] == "O" || fields[1] == "E") &&
        (fields[2] == "7" || fields[2] == "8") && (fields[3] == "1" || fields[3] == "2");
    if (valid)
        return "";
    std::string allowed;
    for (const std::string& rate : rates)
        allowed += (allowed.empty() ? "" : " ") + rate;
    return "--settings " + text +
           ": give BAUD,PARITY,DATA,STOP (as 115200,N,8,1) with BAUD one of " + allowed +
           "; PARITY N, O or E; DATA 7 or 8; STOP 1 or 2";
}

std::string ParseSeconds(const CCliArguments& args, int& seconds) {
    if (args.Has("--seconds") && !NumberIn(args.Value("--seconds"), 1, kMaxSeconds, seconds))
        return "--seconds " + args.Value("--seconds") + ": give a whole number from 1 to " +
               std::to_string(kMaxSeconds);
    return "";
}

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
    return "";
}

} // namespace brivox::cli
