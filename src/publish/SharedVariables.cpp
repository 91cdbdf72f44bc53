#include "publish/SharedVariables.h"

#include "trace/SharedString.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <unistd.h>

namespace brivox {

std::string SharedVariableName(const std::string& variable, const std::string& programPath) {
    std::string path = programPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return "@" + variable + "_" + path;
}

std::string GetSharedVariable(const std::string& variable) {
    return GetSharedString(SharedVariableName(variable, ProgramFilePath()));
}

void SetSharedVariable(const std::string& variable, const std::string& value) {
    SetSharedString(SharedVariableName(variable, ProgramFilePath()), value);
}

std::string ProgramFilePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

} // namespace brivox
