#include "platform/DeveloperMarker.h"

#include "platform/Paths.h"

namespace brivox {

std::string DeveloperMarkerPath() {
    return SettingsPath("developer");
}

bool DeveloperMarkerExists() {
    return PathExists(DeveloperMarkerPath());
}

} // namespace brivox
