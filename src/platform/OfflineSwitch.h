#pragma once

#include <string>

namespace brivox {

// Benches in isolated networks: while the environment variable is set (to anything but "" or
// "0") or the file exists in the settings folder, the program asks no server of its own.
inline constexpr char kOfflineVariable[] = "BRIVOX_OFFLINE";
std::string OfflineMarkerPath();
bool IsOffline();

} // namespace brivox
