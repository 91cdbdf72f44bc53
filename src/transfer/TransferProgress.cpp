#include "transfer/TransferProgress.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace brivox {

namespace {

// The decimal number after key (blanks skipped), if key is there and a digit follows.
std::optional<int64_t> NumberAfter(std::string_view line, std::string_view key) {
    const size_t at = line.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    size_t i = at + key.size();
    while (i < line.size() && line[i] == ' ')
        ++i;
    if (i >= line.size() || std::isdigit(static_cast<unsigned char>(line[i])) == 0)
        return std::nullopt;
    int64_t value = 0;
    for (; i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) != 0; ++i)
        value = value * 10 + (line[i] - '0');
    return value;
}

// The text after key, if key is there.
std::optional<std::string_view> After(std::string_view line, std::string_view key) {
    const size_t at = line.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    return line.substr(at + key.size());
}

} // namespace

bool ReadLrzszStatus(std::string_view line, CTransferProgress& progress) {
    for (const std::string_view key : {"Bytes Sent:", "Bytes received:"}) {
        const std::optional<std::string_view> rest = After(line, key);
        const std::optional<int64_t> bytes = rest ? NumberAfter(*rest, "") : std::nullopt;
        if (!bytes)
            continue;
        progress.bytes = *bytes;
        const std::string_view counts = rest->substr(0, rest->find("BPS:"));
        if (const std::optional<int64_t> total = NumberAfter(counts, "/"))
            progress.total = *total;
        if (const std::optional<int64_t> rate = NumberAfter(*rest, "BPS:"))
            progress.bytesPerSecond = *rate;
        return true;
    }
    // XMODEM and YMODEM count whole kilobytes only: "sectors/kbytes sent:   8/ 1k".
    const std::optional<std::string_view> rest = After(line, "sectors/kbytes sent:");
    const std::optional<int64_t> kilobytes = rest ? NumberAfter(*rest, "/") : std::nullopt;
    if (!kilobytes)
        return false;
    progress.bytes = *kilobytes * 1024;
    return true;
}

std::vector<std::string> CStatusLines::Feed(std::string_view text) {
    std::vector<std::string> lines;
    for (const char c : text) {
        if (c != '\r' && c != '\n') {
            m_partial += c;
            continue;
        }
        if (m_partial.find_first_not_of(' ') != std::string::npos) {
            m_last = m_partial;
            lines.push_back(std::move(m_partial));
        }
        m_partial.clear();
    }
    return lines;
}

std::string RateText(int64_t bytes, double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f KB/s",
                  seconds > 0 ? static_cast<double>(bytes) / seconds / 1000 : 0.0);
    return text;
}

} // namespace brivox
