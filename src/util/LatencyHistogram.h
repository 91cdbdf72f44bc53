#pragma once

#include <array>
#include <cstdint>

namespace brivox {

// Times in microseconds, kept in buckets of about 1.5 % width so that a poll of millions of
// cycles keeps its median and p99 in a few kilobytes: exact below 1024 µs, then 64 buckets for
// each doubling up to about 70 minutes.
class CLatencyHistogram {
public:
    void Add(int64_t micros);
    int64_t Count() const { return m_count; }
    // 0 while empty.
    int64_t Min() const { return m_count ? m_min : 0; }
    int64_t Max() const { return m_max; }
    // The time below which the fraction (0.5 for the median, 0.99) of times lie, to the width of
    // its bucket; 0 while empty.
    int64_t Percentile(double fraction) const;

private:
    static constexpr int kExact = 1024;
    static constexpr int kPerDoubling = 64;
    static constexpr int kDoublings = 22;
    static int BucketOf(int64_t micros);
    static int64_t UpperOf(int bucket);

    std::array<int64_t, kExact + kPerDoubling * kDoublings> m_buckets{};
    int64_t m_count = 0;
    int64_t m_min = 0;
    int64_t m_max = 0;
};

} // namespace brivox
