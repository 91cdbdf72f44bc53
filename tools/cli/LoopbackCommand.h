#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli loopback --port P [--seconds N]: the test block through a looped-back line.
CCommand LoopbackCommand();

} // namespace brivox::cli
