#pragma once

namespace brivox::cli {

// Blocks SIGINT, SIGTERM and SIGHUP in this thread and in every thread it starts later, and
// returns a descriptor that turns readable when one arrives (-1 on failure), so that a program
// ended by a signal goes through its normal exit. Call it before any thread starts.
int StopSignalDescriptor();

} // namespace brivox::cli
