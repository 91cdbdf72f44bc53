#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli scan --port ... [--slaves 1-247] [--function 03 --start 0000]: each address asked
// once, the ones that answer listed with the time the scan took.
CCommand ScanCommand();

} // namespace brivox::cli
