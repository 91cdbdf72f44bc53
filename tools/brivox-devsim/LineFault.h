#pragma once

#include <cstdint>
#include <vector>

namespace brivox::devsim {

// Spoils what the device sends, as a bad line would: of all the bytes it sends, counted from the
// start, every dropEvery-th is dropped and every corruptEvery-th has its bits inverted (0: never).
class CLineFault {
public:
    CLineFault(int dropEvery, int corruptEvery)
        : m_dropEvery(dropEvery), m_corruptEvery(corruptEvery) {}

    std::vector<uint8_t> Apply(const std::vector<uint8_t>& bytes);

private:
    const int m_dropEvery;
    const int m_corruptEvery;
    int64_t m_count = 0;
};

} // namespace brivox::devsim
