#include "cli/PortSwitchOptions.h"

#include "serial/SerialPort.h"

namespace brivox::cli {

const char kPortSwitchUsage[] = "[--reconnect] [--ignore-echo] [--line-errors] [--capture FILE]";

std::vector<COptionSpec> PortSwitchSpecs() {
    return {{"--reconnect", false},
            {"--ignore-echo", false},
            {"--line-errors", false},
            {"--capture", true}};
}

std::string ApplyPortSwitches(const CCliArguments& args, CSerialPort& port) {
    port.SetReconnect(args.Has("--reconnect"));
    port.SetIgnoreEcho(args.Has("--ignore-echo"));
    port.SetLineErrors(args.Has("--line-errors"));
    if (!args.Has("--capture"))
        return "";
    auto log = std::make_shared<CCaptureLog>();
    if (std::string error = log->Open(args.Value("--capture")); !error.empty())
        return error;
    port.SetCaptureLog(std::move(log));
    return "";
}

} // namespace brivox::cli
