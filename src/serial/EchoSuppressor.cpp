#include "serial/EchoSuppressor.h"

#include <algorithm>

namespace brivox {

void CEchoSuppressor::NoteSent(const uint8_t* bytes, size_t count, Clock::time_point now) {
    const std::lock_guard lock(m_mutex);
    // Bytes queue behind what is still on its way out.
    Clock::time_point at = std::max(now, m_lineFreeAt);
    for (size_t i = 0; i < count; ++i) {
        at += m_byteTime;
        m_expected.push_back({bytes[i], at + kMargin});
    }
    m_lineFreeAt = at;
}

int CEchoSuppressor::Filter(uint8_t* bytes, uint8_t* marks, int count, Clock::time_point now) {
    const std::lock_guard lock(m_mutex);
    while (!m_expected.empty() && m_expected.front().due < now)
        m_expected.pop_front();
    if (m_expected.empty())
        return count;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const bool marked = marks != nullptr && marks[i] != 0;
        if (!m_expected.empty() && !marked && bytes[i] == m_expected.front().value) {
            m_expected.pop_front();
            continue;
        }
        m_expected.clear();
        bytes[kept] = bytes[i];
        if (marks != nullptr)
            marks[kept] = marks[i];
        ++kept;
    }
    return kept;
}

} // namespace brivox
