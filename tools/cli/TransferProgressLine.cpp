#include "cli/TransferProgressLine.h"

#include "transfer/TransferProgress.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace brivox::cli {

namespace {

constexpr int kBarWidth = 30;
constexpr auto kPlainLineEvery = std::chrono::seconds(1);

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string TimeText(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace

CTransferProgressLine::CTransferProgressLine(std::ostream& out, bool isStandardError)
    : m_out(out), m_bar(isStandardError && isatty(STDERR_FILENO) != 0) {}

void CTransferProgressLine::Start() {
    m_start = std::chrono::steady_clock::now();
    m_lastLine = m_start - kPlainLineEvery;
    m_bytes = 0;
}

double CTransferProgressLine::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

std::string CTransferProgressLine::RateText() const {
    return brivox::RateText(m_bytes, Seconds());
}

void CTransferProgressLine::Show(int64_t bytes, int64_t total, const std::string& extra) {
    // XMODEM counts whole blocks, past the end of a file that does not fill its last one.
    if (total >= 0)
        bytes = std::min(bytes, total);
    m_bytes = bytes;
    const auto now = std::chrono::steady_clock::now();
    if (!m_bar && now - m_lastLine < kPlainLineEvery)
        return;
    m_lastLine = now;
    std::string line =
        std::to_string(bytes) + (total >= 0 ? "/" + std::to_string(total) : "") + " bytes";
    const double fraction = total > 0 ? static_cast<double>(bytes) / static_cast<double>(total)
                                      : (total == 0 ? 1.0 : -1.0);
    if (fraction >= 0)
        line += Format(" %3.0f%%", 100 * fraction);
    line += "  " + RateText();
    const double seconds = Seconds();
    if (fraction > 0 && fraction < 1 && seconds > 0)
        line += "  " + TimeText(seconds / fraction - seconds) + " left";
    if (!extra.empty())
        line += "  " + extra;
    if (!m_bar) {
        m_out << line << "\n" << std::flush;
        return;
    }
    const int filled = fraction < 0 ? 0 : static_cast<int>(fraction * kBarWidth);
    m_out << "\r[" << std::string(static_cast<size_t>(filled), '#')
          << std::string(static_cast<size_t>(kBarWidth - filled), '-') << "] " << line << "\x1b[K"
          << std::flush;
    m_shown = true;
}

void CTransferProgressLine::End() {
    if (m_shown)
        m_out << "\n";
    m_shown = false;
}

} // namespace brivox::cli
