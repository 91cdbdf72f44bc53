#pragma once

#include <string>

namespace brivox {

// <settings folder>/developer: its presence opens the trace gate and the developer commands.
std::string DeveloperMarkerPath();
bool DeveloperMarkerExists();

} // namespace brivox
