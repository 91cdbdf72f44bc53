#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli break: holds the line in BREAK for a while (a bootloader's wake-up) and lets go.
CCommand BreakCommand();

} // namespace brivox::cli
