#pragma once

#include "cli/CliArguments.h"

#include <string>
#include <vector>

namespace brivox {
class CSerialPort;
}

namespace brivox::cli {

// The port's switches for the field, shared by the commands that open a port:
// --reconnect, --ignore-echo, --line-errors and --capture FILE.
std::vector<COptionSpec> PortSwitchSpecs();
extern const char kPortSwitchUsage[];

// Sets the switches on the port before it opens; an error text (a capture file that cannot be
// written).
std::string ApplyPortSwitches(const CCliArguments& args, CSerialPort& port);

} // namespace brivox::cli
