#include "cli/TrafficLog.h"

#include "util/Text.h"

#include <ostream>

namespace brivox::cli {

void CTrafficLog::Add(Direction direction, const uint8_t* bytes, size_t count) {
    const std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < count; ++i) {
        if (!m_line.empty() && (direction != m_direction || m_line.size() == kBytesPerLine))
            PrintLine();
        m_direction = direction;
        m_line.push_back(bytes[i]);
    }
}

void CTrafficLog::Flush() {
    const std::lock_guard lock(m_mutex);
    if (!m_line.empty())
        PrintLine();
}

void CTrafficLog::PrintLine() {
    m_out << (m_direction == Direction::Tx ? "TX " : "RX ") << HexPairs(m_line) << "\n"
          << std::flush;
    m_line.clear();
}

} // namespace brivox::cli
