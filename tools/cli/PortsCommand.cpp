#include "cli/PortsCommand.h"

#include "serial/PortDiscovery.h"

#include <ostream>

namespace brivox::cli {

namespace {

int RunPorts(const CCliArguments& args, CCliStreams& io) {
    if (!args.Positionals().empty()) {
        io.err << "brivox-cli ports: takes no arguments\n";
        return 1;
    }
    for (const CPortEntry& entry : DiscoverPortTable())
        io.out << "COM" << entry.number << " " << entry.device << "\n";
    return 0;
}

} // namespace

CCommand PortsCommand() {
    return {"ports",
            "",
            "list the serial ports: the port map's COM<n> links in the settings folder's ports/ "
            "and the machine's serial devices, one \"COM<n> <device path>\" per line (a link to "
            "a serial server shows its rfc2217:// or tcp:// address; servers are not asked)",
            {},
            RunPorts};
}

} // namespace brivox::cli
