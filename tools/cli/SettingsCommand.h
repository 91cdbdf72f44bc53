#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli settings [--raw] [FILE]: the entries a settings or history file loads to.
CCommand SettingsCommand();

} // namespace brivox::cli
