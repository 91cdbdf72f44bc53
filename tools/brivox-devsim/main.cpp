#include "brivox-devsim/Devsim.h"
#include "brivox-devsim/DevsimOptions.h"
#include "brivox-devsim/ModbusTcpServer.h"
#include "cli/StopSignals.h"

#include <iostream>

namespace {

int ServeModbusTcp(brivox::devsim::CModbusLink& slave,
                   const brivox::devsim::CDevsimOptions& options, int stopFd) {
    brivox::devsim::CModbusTcpServer server(slave, std::cout, options.verbose);
    std::string error = server.Listen(options.modbusTcpPort);
    if (error.empty()) {
        std::cout << "modbustcp://127.0.0.1:" << server.Port() << std::endl;
        error = server.Serve(options.seconds, stopFd);
    }
    if (!error.empty()) {
        std::cerr << "brivox-devsim: " << error << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    using namespace brivox::devsim;
    CDevsimOptions options;
    if (const std::string error = ParseDevsimOptions({argv + 1, argv + argc}, options);
        !error.empty()) {
        std::cerr << "brivox-devsim: " << error << "\n" << kDevsimUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kDevsimUsage;
        return 0;
    }
    // Ending by a signal goes through the normal exit, so that the port-map link is removed.
    const int stopFd = brivox::cli::StopSignalDescriptor();
    if (options.tcpSlave)
        return ServeModbusTcp(*options.tcpSlave, options, stopFd);

    CDevsim devsim(*options.model, CLineFault(options.dropEvery, options.corruptEvery), std::cout,
                   options.verbose);
    devsim.SetLineEcho(options.lineEcho);
    std::string error = options.portPath.empty()
                            ? devsim.Start(options.registerNumber)
                            : devsim.Attach(options.portPath, options.settings);
    if (error.empty() && options.tap)
        error = devsim.StartTap();
    if (error.empty() && !options.program.empty())
        error = devsim.StartProgram(options.program);
    if (error.empty()) {
        std::cout << devsim.Path();
        if (devsim.Registered() != 0)
            std::cout << " COM" << devsim.Registered();
        if (options.tap)
            std::cout << " tap " << devsim.TapPath();
        std::cout << std::endl;
        error = devsim.Serve(options.seconds, stopFd);
    }
    if (!error.empty()) {
        std::cerr << "brivox-devsim: " << error << "\n";
        return 1;
    }
    return 0;
}
