#pragma once

#include "cli/Cli.h"

namespace brivox::cli {

// brivox-cli compile --mode detail|string|decimal|keystroke TEXT
CCommand CompileCommand();
// brivox-cli compile-file PATH
CCommand CompileFileCommand();

// The input mode index for a --mode word, or -1 when the word names no such mode.
int InputModeIndex(const std::string& word);

} // namespace brivox::cli
