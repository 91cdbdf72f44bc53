#include "util/LatencyHistogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace brivox {

int CLatencyHistogram::BucketOf(int64_t micros) {
    if (micros < kExact)
        return static_cast<int>(std::max<int64_t>(micros, 0));
    // 2^(10 + d) <= micros < 2^(11 + d): the doubling d, then the 64th of it.
    const int top = std::bit_width(static_cast<uint64_t>(micros)) - 1;
    const int doubling = std::min(top - 10, kDoublings - 1);
    const int64_t base = int64_t{1} << (10 + doubling);
    const int64_t step = base / kPerDoubling;
    const int64_t within = std::min<int64_t>((micros - base) / step, kPerDoubling - 1);
    return kExact + doubling * kPerDoubling + static_cast<int>(within);
}

int64_t CLatencyHistogram::UpperOf(int bucket) {
    if (bucket < kExact)
        return bucket;
    const int doubling = (bucket - kExact) / kPerDoubling;
    const int within = (bucket - kExact) % kPerDoubling;
    const int64_t base = int64_t{1} << (10 + doubling);
    return base + (within + 1) * (base / kPerDoubling) - 1;
}

void CLatencyHistogram::Add(int64_t micros) {
    ++m_buckets[static_cast<size_t>(BucketOf(micros))];
    m_min = m_count == 0 ? micros : std::min(m_min, micros);
    m_max = std::max(m_max, micros);
    ++m_count;
}

int64_t CLatencyHistogram::Percentile(double fraction) const {
    if (m_count == 0)
        return 0;
    const auto rank = static_cast<int64_t>(std::ceil(fraction * static_cast<double>(m_count)));
    int64_t seen = 0;
    for (size_t bucket = 0; bucket < m_buckets.size(); ++bucket) {
        seen += m_buckets[bucket];
        if (seen >= std::max<int64_t>(rank, 1))
            return std::clamp(UpperOf(static_cast<int>(bucket)), m_min, m_max);
    }
    return m_max;
}

} // namespace brivox
