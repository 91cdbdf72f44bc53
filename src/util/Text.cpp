#include "util/Text.h"

#include <cctype>
#include <limits>

namespace brivox {

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t start = 0;
    for (;;) {
        const size_t found = text.find(separator, start);
        if (found == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, found - start));
        start = found + separator.size();
    }
}

std::string TrimText(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return "";
    const size_t last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}

int32_t ReadLeadingInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

std::string HexPairs(const std::vector<uint8_t>& bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const uint8_t byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

bool IsTerminalControl(char c) {
    const auto byte = static_cast<uint8_t>(c);
    return (byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F;
}

std::string EscapedText(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (!IsTerminalControl(c)) {
            escaped += c;
            continue;
        }
        const auto byte = static_cast<uint8_t>(c);
        escaped += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 15]};
    }
    return escaped;
}

std::string TakeTextFileBody(std::string& text) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    if (text.starts_with(kUtf8Mark)) {
        text.erase(0, kUtf8Mark.size());
        return "";
    }
    const bool utf16Mark = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
    const bool nulBeside =
        text.size() >= 2 && (text[0] == '\0') != (text[1] == '\0') && (text[0] | text[1]) > 0;
    if (utf16Mark || nulBeside)
        return "UTF-16 text: save the file as UTF-8";
    return "";
}

} // namespace brivox

namespace brivox {

std::string FormatNumber(int32_t value, int radix, int width) {
    if (radix < 2 || radix > 36)
        return "";
    const bool negative = value < 0 && radix == 10;
    uint32_t magnitude =
        negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[magnitude % radix]);
        magnitude /= radix;
    } while (magnitude != 0);
    if (width >= 0) {
        if (digits.size() < static_cast<size_t>(width))
            digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
        digits = digits.substr(digits.size() - static_cast<size_t>(width));
    }
    return negative ? "-" + digits : digits;
}

std::string SplitWords(std::string_view text, std::vector<CWord>& words) {
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        const bool quoted = text[i] == '"';
        const size_t end = quoted ? text.find('"', i + 1) : text.find_first_of(" \t", i);
        if (quoted && end == std::string_view::npos)
            return "a quotation mark that is not closed";
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        const size_t from = i + (quoted ? 1 : 0);
        words.push_back({std::string(text.substr(from, stop - from)), quoted});
        i = quoted ? stop + 1 : stop;
    }
    return "";
}

} // namespace brivox
