#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli ident --port ... --slave N: what the slave says about itself (read device
// identification, 2B/0E, and report slave ID, 11), decoded.
CCommand IdentCommand();

// brivox-cli request --port ... --slave N --pdu "08 00 00 12 34": any request, its reply
// described.
CCommand RequestCommand();

} // namespace brivox::cli
