#include "cli/MasterLink.h"

#include <charconv>

namespace brivox::cli {

namespace {

constexpr int kDefaultModbusTcpPort = 502;
constexpr const char* kModbusTcpScheme = "modbustcp://";

// modbustcp://HOST[:PORT] is MODBUS TCP on a plain socket, 502 unless a port is given.
std::string ParseLinkPort(const std::string& port, CMasterLink& link) {
    if (port.rfind(kModbusTcpScheme, 0) != 0)
        return ParsePort(port, link.port);
    link.transport = ModbusTransport::Tcp;
    std::string address = port.substr(std::string(kModbusTcpScheme).size());
    if (address.find(':') == std::string::npos)
        address += ":" + std::to_string(kDefaultModbusTcpPort);
    return ParsePort("tcp://" + address, link.port);
}

} // namespace

std::string ParseMasterLink(const CCliArguments& args, int defaultTimeoutMs, CMasterLink& link) {
    if (args.Value("--port").empty())
        return "give --port";
    if (std::string error = ParseRunOptions(args, link.port); !error.empty())
        return error;
    if (args.Has("--ascii"))
        link.transport = ModbusTransport::Ascii;
    if (std::string error = ParseLinkPort(args.Value("--port"), link); !error.empty())
        return error;
    if (args.Has("--ascii") && link.transport == ModbusTransport::Tcp)
        return "--ascii goes with a serial port or tcp://, not with modbustcp://";
    if (!NumberIn(args.Value("--timeout", std::to_string(defaultTimeoutMs)), 1, 60000,
                  link.timeoutMs))
        return "--timeout takes 1 to 60000 ms";
    return "";
}

CModbusPollDefinition QueuedRequestsOnly(const CMasterLink& link) {
    CModbusPollDefinition definition;
    definition.periodic = false;
    definition.transport = link.transport;
    definition.timeoutMs = link.timeoutMs;
    return definition;
}

std::vector<COptionSpec> WithMasterLinkOptions(std::vector<COptionSpec> options) {
    options.insert(
        options.end(),
        {{"--port", true}, {"--settings", true}, {"--ascii", false}, {"--timeout", true}});
    return WithLineOptions(std::move(options));
}

std::string MasterLinkUsage() {
    return "--port COM<n>|DEVICE|tcp://HOST:PORT|modbustcp://HOST[:PORT] [--ascii] "
           "[--settings 115200,N,8,1] [--timeout MS] " +
           std::string(kLineOptionsUsage);
}

std::string ParseValueFormatOptions(const CCliArguments& args, CModbusValueFormat& format) {
    std::string error = ParseModbusValueType(args.Value("--type", "u16"), format.type);
    if (error.empty())
        error = ParseModbusWordOrder(args.Value("--order", "ABCD"), format.order);
    if (error.empty() && (!ParseDouble(args.Value("--scale", "1"), format.scale) ||
                          !ParseDouble(args.Value("--offset", "0"), format.offset)))
        error = "--scale and --offset take numbers";
    return error;
}

bool ParseHexWord(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 16);
    return !text.empty() && text.size() <= 4 && error == std::errc() && stop == end;
}

bool ParseDouble(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end;
}

} // namespace brivox::cli
