#pragma once

#include "brivox-devsim/DeviceModel.h"
#include "brivox-devsim/ModbusLink.h"

#include <memory>
#include <string>
#include <vector>

namespace brivox::devsim {

// What the command line asks of brivox-devsim.
struct CDevsimOptions {
    std::unique_ptr<CDeviceModel> model;
    std::string portPath; // serve on this device instead of a pseudo-terminal of its own
    std::string settings = "115200,N,8,1"; // the line settings of portPath
    int registerNumber = 0; // link the pseudo-terminal as COM<n>; 0: do not; -1: the first free
    int seconds = 0;        // serve this long; 0: until killed
    bool tap = false;       // a second terminal that hears both directions
    std::vector<std::string> program; // the command that answers in a model's place
    int dropEvery = 0;                // drop every Nth byte sent; 0: none
    int corruptEvery = 0;             // invert every Nth byte sent; 0: none
    bool verbose = false;             // log every request and reply as hex lines
    bool lineEcho = false;            // echo every received byte first, as an RS-485 adapter does
    bool help = false;
    std::unique_ptr<CModbusLink> tcpSlave; // with --modbus-tcp, in place of a model
    int modbusTcpPort = 0;
};

extern const char kDevsimUsage[];

// Error text, empty on success.
std::string ParseDevsimOptions(const std::vector<std::string>& args, CDevsimOptions& options);

} // namespace brivox::devsim
