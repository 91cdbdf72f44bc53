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

size_t TracePaneLineCut(size_t lines) {
    return lines > kTracePaneLineLimit ? lines - kTraceKeptLinesAfterCut : 0;
}

std::string_view LastTraceLines(std::string_view text, size_t lines) {
    if (lines == 0)
        return text.substr(text.size());
    size_t end = text.size() - (text.ends_with('\n') ? 1 : 0); // before the last line's break
    for (size_t found = 0; found < lines; ++found) {
        end = end == 0 ? std::string_view::npos : text.rfind('\n', end - 1);
        if (end == std::string_view::npos)
            return text;
    }
    return text.substr(end + 1);
}

std::string_view FirstTraceLines(std::string_view text, size_t lines) {
    size_t end = 0;
    for (size_t found = 0; found < lines; ++found) {
        end = text.find('\n', found == 0 ? 0 : end + 1);
        if (end == std::string_view::npos)
            return text;
    }
    return text.substr(0, end);
}

} // namespace brivox
