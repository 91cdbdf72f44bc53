#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli modbus --ascii|--rtu --function CODE [fields...]: the request as one send item.
CCommand ModbusCommand();

} // namespace brivox::cli
