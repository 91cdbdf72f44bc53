#pragma once

#include "cli/CliArguments.h"
#include "cli/RunOptions.h"
#include "testbench/MonitorLines.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brivox::cli {

// What brivox-cli monitor is asked to do.
struct CMonitorOptions {
    CRunOptions port;               // the line settings and time limit, for every port
    std::vector<CRunOptions> ports; // each --port, in the order given
    std::vector<std::string> names; // the ports as given ("COM5", "/dev/pts/4")
    int64_t gapUs = 0;              // the idle time that ends a frame
    CMonitorLines::Modbus modbus = CMonitorLines::Modbus::None;
    CMonitorLines::Format format = CMonitorLines::Format::Text;
    std::string logPath;    // empty: no log file
    std::string pcapngPath; // empty: no pcapng file of the frames
    int seconds = 0;        // 0: until a stop signal
    bool keepGoing = false; // listen on after the log or capture could not be written
};

// Error text, empty on success. Without --gap a frame ends after 3.5 character times of the
// line settings (1.75 ms above 19200 baud), or after a second with MODBUS ASCII, whose frames
// end at their CR LF and may pause up to a second between characters.
std::string ParseMonitorOptions(const CCliArguments& args, CMonitorOptions& options);

} // namespace brivox::cli
