#pragma once

#include "cli/CliArguments.h"
#include "modbus/ModbusFields.h"

#include <string>
#include <vector>

namespace brivox::cli {

// The MODBUS field options of brivox-cli, shared by the commands that build requests:
// --function CODE [--slave N] [--start HEX] [--length N] [--word HEX] [--bit-on 0|1]
// [--bits "CD 01"] [--words "000A 0102"].
std::vector<COptionSpec> ModbusFieldSpecs();

// Writes the given fields over the store's defaults and says which data boxes the function
// uses; returns an error text, empty on success.
std::string ApplyModbusFields(const CCliArguments& args, COptionStore& options,
                              CModbusBoxes& boxes);

} // namespace brivox::cli
