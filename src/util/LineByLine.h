#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace brivox {

// Feeds text to a reader line by line, without the line breaks, until a line is refused, then
// tells it the text ended. The reader's Line(std::string_view) and End() return error texts, and
// its ErrorLine() names the line at fault (0: none), which goes before the error ("line 7: ...").
template <class Reader> std::string ReadLineByLine(std::string_view text, Reader& reader) {
    std::string error;
    // In place: a copy of a large file's lines would cost as much as the file.
    for (size_t start = 0; start <= text.size() && error.empty();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        error = reader.Line(text.substr(start, end - start));
        start = end + 1;
    }
    if (error.empty())
        error = reader.End();
    if (error.empty() || reader.ErrorLine() == 0)
        return error;
    return "line " + std::to_string(reader.ErrorLine()) + ": " + error;
}

} // namespace brivox
