#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace brivox {

// Moments of the steady clock shown as wall time: the wall time at one moment plus the steady
// time since, so that a change of the system clock cannot reorder them.
struct CWallClock {
    int64_t steadyStartUs = 0;
    int64_t wallStartUs = 0; // microseconds since 1970 at steadyStartUs

    static int64_t SteadyUs(std::chrono::steady_clock::time_point moment) {
        return std::chrono::duration_cast<std::chrono::microseconds>(moment.time_since_epoch())
            .count();
    }
    static CWallClock Now() {
        return {SteadyUs(std::chrono::steady_clock::now()),
                std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count()};
    }
    int64_t WallUs(int64_t steadyUs) const { return wallStartUs + steadyUs - steadyStartUs; }
};

// "2025-01-02 10:11:12.345678" in local time, or "2025-01-02T10:11:12.345678Z" in UTC.
std::string WallTimeText(int64_t wallUs, bool utc);

} // namespace brivox
