#include "support/TsharkRun.h"

#include "support/TempFolder.h"

#include <cstdio>
#include <sstream>
#include <sys/wait.h>

namespace brivox::test {

namespace {

std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

CTsharkRun RunTshark(const std::string& file, const std::vector<std::string>& args) {
    const CTempFolder folder;
    const std::string errors = folder.Path("errors");
    std::string command = "tshark -r " + Quoted(file);
    for (const std::string& arg : args)
        command += " " + Quoted(arg);
    command += " 2>" + Quoted(errors);
    CTsharkRun run;
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr)
        return run;
    std::string text;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, out)) > 0;)
        text.append(buffer, got);
    const int status = pclose(out);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        run.lines.push_back(line);
    std::istringstream said(ReadTestFile(errors));
    for (std::string line; std::getline(said, line);)
        if (line.find("Running as user") == std::string::npos)
            run.errors += line + "\n";
    return run;
}

} // namespace brivox::test
