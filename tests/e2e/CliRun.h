#pragma once

// brivox-cli's commands run in the test's own process, with what they printed.
#include "cli/Cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace brivox::test {

struct CCliRun {
    int code;
    std::string out;
    std::string err;
};

inline CCliRun RunCliCaptured(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

} // namespace brivox::test
