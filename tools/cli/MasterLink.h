// The options the MODBUS master commands (poll, write, scan, ident, request) share: the port
// (a serial port, tcp:// for RTU over a socket, modbustcp:// for MODBUS TCP), --ascii, the line
// settings and the reply's time-out.
#pragma once

#include "cli/CliArguments.h"
#include "cli/RunOptions.h"
#include "modbus/ModbusFraming.h"
#include "modbus/ModbusPoll.h"
#include "modbus/ModbusValues.h"

#include <string>
#include <vector>

namespace brivox::cli {

struct CMasterLink {
    CRunOptions port;
    ModbusTransport transport = ModbusTransport::Rtu;
    int timeoutMs = 1000;
};

std::string ParseMasterLink(const CCliArguments& args, int defaultTimeoutMs, CMasterLink& link);

// A poll of the link that reads nothing of its own: the requests queued go out one by one.
CModbusPollDefinition QueuedRequestsOnly(const CMasterLink& link);

// The link's option specs and usage, with a command's own options.
std::vector<COptionSpec> WithMasterLinkOptions(std::vector<COptionSpec> options);
std::string MasterLinkUsage();

// --type, --order, --scale and --offset.
std::string ParseValueFormatOptions(const CCliArguments& args, CModbusValueFormat& format);

// 1 to 4 hex digits ("00AC"), and a number in any form from_chars reads.
bool ParseHexWord(const std::string& text, int& value);
bool ParseDouble(const std::string& text, double& value);

} // namespace brivox::cli
