#include "cli/PortSwitchOptions.h"

#include "capture/CaptureFile.h"
#include "serial/SerialPort.h"

namespace brivox::cli {

const char kPortSwitchUsage[] =
    "[--reconnect] [--ignore-echo] [--line-errors] [--capture FILE|FILE.pcapng]";

std::vector<COptionSpec> PortSwitchSpecs() {
    return {{"--reconnect", false},
            {"--ignore-echo", false},
            {"--line-errors", false},
            {"--capture", true}};
}

std::string ApplyPortSwitches(const CCliArguments& args, const std::vector<CNamedPort>& ports) {
    std::vector<std::string> names;
    for (const CNamedPort& port : ports) {
        port.port->SetReconnect(args.Has("--reconnect"));
        port.port->SetIgnoreEcho(args.Has("--ignore-echo"));
        port.port->SetLineErrors(args.Has("--line-errors"));
        names.push_back(port.name);
    }
    if (!args.Has("--capture"))
        return "";
    std::vector<std::shared_ptr<CCaptureSink>> sinks;
    if (std::string error = OpenCaptures(args.Value("--capture"), names, sinks); !error.empty())
        return error;
    for (size_t i = 0; i < ports.size(); ++i)
        ports[i].port->SetCapture(std::move(sinks[i]));
    return "";
}

} // namespace brivox::cli
