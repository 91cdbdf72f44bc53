#include "trace/TracePaneText.h"

#include <cstdio>

namespace brivox {

std::string FormatTracePaneLine(const std::string& text, const std::tm* stamp, int indent) {
    std::string line(static_cast<size_t>(indent), ' ');
    if (stamp != nullptr) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d ", stamp->tm_hour, stamp->tm_min,
                      stamp->tm_sec);
        line += time;
    }
    return line + text + "\n";
}

size_t TracePaneRoom(size_t length) {
    return length < kTracePaneLimit ? kTracePaneLimit - length : 0;
}

size_t TracePaneCut(size_t length) {
    return length > kTraceCutAbove ? length - kTraceKeptAfterCut : 0;
}

} // namespace brivox
