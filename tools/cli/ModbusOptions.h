#pragma once

#include "cli/CliArguments.h"
#include "modbus/ModbusRequest.h"
#include "options/OptionStore.h"

#include <string>
#include <vector>

namespace brivox::cli {

// The MODBUS field options of brivox-cli, shared by the commands that build requests:
// --ascii|--rtu --function CODE [--slave N] [--start HEX] [--length N] [--word HEX]
// [--bit-on 0|1] [--bits "CD 01"] [--words "000A 0102"].
std::vector<COptionSpec> ModbusOptionSpecs();
extern const char kModbusUsage[];

struct CModbusCommandLine {
    bool ascii = false;
    CModbusBoxes boxes;
};

// Writes the given fields over the store's defaults; returns an error text, empty on success.
std::string ApplyModbusOptions(const CCliArguments& args, COptionStore& options,
                               CModbusCommandLine& request);

} // namespace brivox::cli
