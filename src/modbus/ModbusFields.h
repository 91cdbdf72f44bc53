#pragma once

#include "modbus/ModbusRequest.h"
#include "options/OptionStore.h"

#include <map>
#include <string>
#include <vector>

namespace brivox {

// The MODBUS fields of a request as the command line and test files name them ("--function",
// "--slave", "--start", ...), each with its value.
using CModbusFieldValues = std::map<std::string, std::string>;

// Every field name, "--function" first.
const std::vector<std::string>& ModbusFieldNames();
extern const char kModbusFieldsUsage[];

// Checks the fields as the form checks its boxes, writes them over the store's defaults and says
// which data boxes the function uses; returns an error text naming the field, empty on success.
std::string ApplyModbusFields(const CModbusFieldValues& values, COptionStore& options,
                              CModbusBoxes& boxes);

} // namespace brivox
