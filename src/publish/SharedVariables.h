#pragma once

#include <string>

namespace brivox {

// The shared variables release publishing reads ("realrelease", "hcpmode", "pvlanguage"),
// kept as shared strings under "@" + variable + "_" + the program file's path, with every
// backslash turned into a slash and the whole in lower case.
std::string SharedVariableName(const std::string& variable, const std::string& programPath);

std::string GetSharedVariable(const std::string& variable);
void SetSharedVariable(const std::string& variable, const std::string& value);

// This program's file, as the system names it.
std::string ProgramFilePath();

} // namespace brivox
