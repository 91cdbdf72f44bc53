#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli ports: the discovered ports, one "COM<n> <device path>" per line.
CCommand PortsCommand();

} // namespace brivox::cli
