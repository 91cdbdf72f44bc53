#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli respond --port P --rules FILE: answers what arrives as the rules say.
CCommand RespondCommand();

} // namespace brivox::cli
