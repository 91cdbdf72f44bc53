#pragma once

#include <algorithm>
#include <chrono>

namespace brivox {

// Milliseconds left before the deadline, rounded up so that a wait in whole milliseconds does
// not end early and spin; at least 0; -1 (wait without end) for time_point::max.
inline int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    if (deadline == std::chrono::steady_clock::time_point::max())
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, 0x7FFFFFFF));
}

} // namespace brivox
