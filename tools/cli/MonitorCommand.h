#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli monitor --port P [...]: listens to a line and prints its frames.
CCommand MonitorCommand();

} // namespace brivox::cli
