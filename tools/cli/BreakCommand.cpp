#include "cli/BreakCommand.h"

#include "cli/RunOptions.h"
#include "cli/RunPort.h"

#include <charconv>
#include <ostream>

namespace brivox::cli {

namespace {

constexpr int kDefaultMs = 250;
constexpr int kMaxMs = 10000;

std::string ParseLength(const CCliArguments& args, int& ms) {
    if (!args.Has("--ms"))
        return "";
    const std::string text = args.Value("--ms");
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (text.empty() || error != std::errc() || stop != text.data() + text.size() || ms < 1 ||
        ms > kMaxMs)
        return "--ms " + text + ": give milliseconds from 1 to " + std::to_string(kMaxMs);
    return "";
}

int RunBreak(const CCliArguments& args, CCliStreams& io) {
    CRunOptions options;
    int ms = kDefaultMs;
    std::string error = ParseRunOptions(args, options);
    if (error.empty())
        error = ParseLength(args, ms);
    if (!error.empty()) {
        io.err << "brivox-cli break: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    CSerialPort port;
    if (!OpenRunPort(port, options, "break", io.err))
        return kPortError;
    if (!port.SendBreak(ms)) {
        io.err << "brivox-cli break: " << args.Value("--port") << " cannot send a BREAK\n";
        return kPortError;
    }
    io.out << "BREAK of " << ms << " ms sent\n";
    return 0;
}

} // namespace

CCommand BreakCommand() {
    return {"break",
            "--port COM<n>|DEVICE [--settings 115200,N,8,1] [--ms 250] " +
                std::string(kLineOptionsUsage),
            "hold the line in BREAK for --ms milliseconds (250 by default, up to 10000) and let "
            "go, as a bootloader's wake-up; exit 0 when sent, 3 for a port error or a device "
            "that cannot send one",
            WithLineOptions({{"--port", true}, {"--settings", true}, {"--ms", true}}),
            RunBreak,
            kPortError};
}

} // namespace brivox::cli
