#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli replay FILE.pcapng --port P [...]: writes a capture's bytes again.
CCommand ReplayCommand();

} // namespace brivox::cli
