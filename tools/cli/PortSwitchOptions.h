#pragma once

#include "cli/CliArguments.h"

#include <string>
#include <vector>

namespace brivox {
class CSerialPort;
}

namespace brivox::cli {

// The port's switches for the field, shared by the commands that open a port:
// --reconnect, --ignore-echo, --line-errors and --capture FILE (pcapng for FILE.pcapng).
std::vector<COptionSpec> PortSwitchSpecs();
extern const char kPortSwitchUsage[];

// A port with the name its capture gives it ("COM5", "/dev/pts/4").
struct CNamedPort {
    CSerialPort* port;
    std::string name;
};

// Sets the switches on the ports before they open, all of them captured into one file; an error
// text (a capture file that cannot be written, a text capture given several ports).
std::string ApplyPortSwitches(const CCliArguments& args, const std::vector<CNamedPort>& ports);

} // namespace brivox::cli
