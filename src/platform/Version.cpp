#include "platform/Version.h"

#include "BuildVersion.h"
#include "util/Text.h"

#include <cstdlib>

namespace brivox {

const char* ProductVersionText() {
    return BRIVOX_PRODUCT_VERSION;
}

int ParseVersionNumber(const std::string& productVersion) {
    const std::vector<std::string> parts = SplitText(productVersion, ",");
    if (parts.size() != 4)
        return 0;
    const int a = std::atoi(parts[0].c_str());
    const int b = std::atoi(parts[1].c_str());
    const int c = std::atoi(parts[2].c_str());
    return (a % 100) * 100 + (b % 10) * 10 + (c % 10);
}

int VersionNumber() {
    return ParseVersionNumber(ProductVersionText());
}

std::string VersionText(int versionNumber) {
    return std::to_string(versionNumber / 100 % 100) + "." +
           std::to_string(versionNumber / 10 % 10) + std::to_string(versionNumber % 10);
}

} // namespace brivox
