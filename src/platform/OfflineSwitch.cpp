#include "platform/OfflineSwitch.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <string_view>

namespace brivox {

std::string OfflineMarkerPath() {
    return SettingsPath("offline");
}

// Looked at on every request, so that the switch holds for a program already running.
bool IsOffline() {
    const char* value = std::getenv(kOfflineVariable);
    if (value != nullptr && *value != '\0' && std::string_view(value) != "0")
        return true;
    return PathExists(OfflineMarkerPath());
}

} // namespace brivox
