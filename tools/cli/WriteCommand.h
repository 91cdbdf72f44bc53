#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli write --port ... --slave N --function 05|06|0F|10|16|17 --start HEX --value V[,V]
// [--type ... --order ...]: coils or registers written with typed values, the slave's
// confirmation printed.
CCommand WriteCommand();

} // namespace brivox::cli
