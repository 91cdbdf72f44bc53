#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli poll --port ... --slave N --function 03 --start 0000 --count 10 [...]: a block of
// coils or registers read every interval, a line a cycle, the link's statistics at the end.
CCommand PollCommand();

} // namespace brivox::cli
