#include "util/Markup.h"

#include <cstdint>
#include <cstdio>

namespace brivox {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of the text (shortest form, no
// surrogates, at most U+10FFFF), or 0; the code point it encodes.
size_t Utf8Sequence(std::string_view text, uint32_t& codePoint) {
    const auto lead = static_cast<uint8_t>(text[0]);
    const size_t length = lead < 0x80                    ? 1
                          : lead >= 0xC2 && lead <= 0xDF ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || length > text.size())
        return 0;
    codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[length] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool XmlAllows(uint32_t codePoint) {
    return codePoint == 0x9 || codePoint == 0xA || codePoint == 0xD ||
           (codePoint >= 0x20 && codePoint != 0xFFFE && codePoint != 0xFFFF);
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<uint8_t>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string XmlText(std::string_view text) {
    std::string xml;
    while (!text.empty()) {
        uint32_t codePoint = 0;
        const size_t length = Utf8Sequence(text, codePoint);
        if (length == 0 || !XmlAllows(codePoint)) {
            xml += kReplacement;
            text.remove_prefix(length == 0 ? 1 : length);
            continue;
        }
        switch (text[0]) {
        case '&':
            xml += "&amp;";
            break;
        case '<':
            xml += "&lt;";
            break;
        case '>':
            xml += "&gt;";
            break;
        case '"':
            xml += "&quot;";
            break;
        case '\'':
            xml += "&apos;";
            break;
        default:
            xml.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return xml;
}

} // namespace brivox
