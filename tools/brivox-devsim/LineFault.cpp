#include "brivox-devsim/LineFault.h"

namespace brivox::devsim {

std::vector<uint8_t> CLineFault::Apply(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> sent;
    for (const uint8_t byte : bytes) {
        ++m_count;
        if (m_dropEvery != 0 && m_count % m_dropEvery == 0)
            continue;
        const bool corrupt = m_corruptEvery != 0 && m_count % m_corruptEvery == 0;
        sent.push_back(corrupt ? static_cast<uint8_t>(~byte) : byte);
    }
    return sent;
}

} // namespace brivox::devsim
