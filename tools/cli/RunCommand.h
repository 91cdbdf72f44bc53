#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli run --port COM<n>|DEVICE [options] TEXT: a script or MODBUS request on a real port.
CCommand RunCommand();

} // namespace brivox::cli
