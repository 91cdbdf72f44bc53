#pragma once

#include "cli/CliArguments.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace brivox::cli {

// Exit codes the commands share: a port that could not be opened or went away, and an output
// file that could not be written.
constexpr int kPortError = 3;
constexpr int kFileError = 4;

struct CCliStreams {
    std::ostream& out;
    std::ostream& err;
};

// One brivox-cli command: its words, its options and what it does with them.
struct CCommand {
    std::string name;
    std::string usage;   // the argument synopsis after the command name
    std::string summary; // one line for the help
    std::vector<COptionSpec> options;
    int (*run)(const CCliArguments& args, CCliStreams& io);
    int usageExitCode = 1; // exit code for a command line the command cannot use
};

// Every command, in the order the help lists them.
const std::vector<CCommand>& Commands();

// Runs "brivox-cli ARGS..." (without the program name) and returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace brivox::cli
