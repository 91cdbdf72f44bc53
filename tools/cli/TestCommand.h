#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli test FILE --port P [--junit REPORT.xml]: the cases of a device-test file in order.
CCommand TestCommand();

} // namespace brivox::cli
