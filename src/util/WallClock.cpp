#include "util/WallClock.h"

#include <cstdio>
#include <ctime>

namespace brivox {

std::string WallTimeText(int64_t wallUs, bool utc) {
    const time_t seconds = static_cast<time_t>(wallUs / 1000000);
    tm parts{};
    if (utc)
        gmtime_r(&seconds, &parts);
    else
        localtime_r(&seconds, &parts);
    char date[32];
    std::strftime(date, sizeof date, utc ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &parts);
    char text[48];
    std::snprintf(text, sizeof text, "%s.%06d%s", date, static_cast<int>(wallUs % 1000000),
                  utc ? "Z" : "");
    return text;
}

} // namespace brivox
