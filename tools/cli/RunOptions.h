#pragma once

#include "cli/CliArguments.h"
#include "serial/LineConfig.h"
#include "serial/LinePolicy.h"
#include "serial/Rs485.h"

#include <string>
#include <vector>

namespace brivox::cli {

// The line and timing options of brivox-cli run, checked as the form checks its fields.
struct CRunOptions {
    int portNumber = 0;     // COM<n>, or 0 when a device path was given
    std::string devicePath; // any path to a tty (/dev/pts/4, /dev/serial/by-id/...)
    std::string settings = "115200,N,8,1";
    int timeoutMs = 2000;
    int delayMs = 0;
    FlowControl flow = FlowControl::None;
    CLinePolicy policy;
    std::vector<CPulseStep> pulse; // run on DTR and RTS once the port is open
    CRs485 rs485;
};

// --port's COM<n>, device path or server address into the options; error text.
std::string ParsePort(const std::string& port, CRunOptions& options);

// The line's options beyond --settings that every command opening a port takes:
// --flow none|rtscts|xonxoff, --dtr and --rts keep|low|high, --pulse STEPS, --rs485 high|low
// (RTS while sending) and --rs485-delay BEFORE,AFTER.
std::vector<COptionSpec> WithLineOptions(std::vector<COptionSpec> options);
extern const char kLineOptionsUsage[];

// A whole decimal number in [low, high] into value.
bool NumberIn(const std::string& text, int low, int high, int& value);

// Error text naming the option and what it takes, empty on success.
std::string ParseRunOptions(const CCliArguments& args, CRunOptions& options);

// --seconds N (1 to a year) into seconds, which keeps its value when the option is not given;
// error text.
std::string ParseSeconds(const CCliArguments& args, int& seconds);

// BAUD,PARITY,DATA,STOP: 50 to 12000000 baud, N, E, O, M or S, 5 to 8, 1, 1.5 or 2 (1.5 only
// with 5 data bits); error text.
std::string CheckLineSettings(const std::string& text);

} // namespace brivox::cli
