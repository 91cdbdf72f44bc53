#include "testbench/FrameSplitter.h"

#include <algorithm>

namespace brivox {

void CFrameSplitter::Start(int64_t arrivalUs) {
    m_current = {};
    m_current.startUs = arrivalUs;
    m_current.endUs = arrivalUs;
    m_current.continued = m_cut && arrivalUs - m_lastEndUs < m_gapUs;
    if (m_current.continued)
        m_current.gapUs = 0;
    else if (m_lastEndUs >= 0)
        m_current.gapUs = arrivalUs - m_lastEndUs;
    m_reads = {{0, arrivalUs}};
    m_open = true;
}

int64_t CFrameSplitter::ArrivalOf(size_t index) const {
    int64_t arrivalUs = m_reads.front().second;
    for (const auto& [offset, atUs] : m_reads) {
        if (offset > index)
            break;
        arrivalUs = atUs;
    }
    return arrivalUs;
}

void CFrameSplitter::Finish(std::vector<CLineFrame>& done, size_t length, bool cut) {
    std::vector<uint8_t> rest(m_current.bytes.begin() + static_cast<long>(length),
                              m_current.bytes.end());
    const int64_t restUs = rest.empty() ? 0 : ArrivalOf(length);
    std::vector<uint8_t> restMarks;
    if (m_current.marks.size() > length) {
        restMarks.assign(m_current.marks.begin() + static_cast<long>(length),
                         m_current.marks.end());
        m_current.marks.resize(length);
    }
    std::vector<std::pair<size_t, int64_t>> restReads;
    for (const auto& [offset, atUs] : m_reads) {
        if (offset > length)
            restReads.emplace_back(offset - length, atUs);
    }
    m_current.bytes.resize(length);
    m_current.endUs = ArrivalOf(length - 1);
    m_lastEndUs = m_current.endUs;
    m_cut = cut;
    done.push_back(std::move(m_current));
    m_open = false;
    if (rest.empty())
        return;
    Start(restUs);
    m_current.bytes = std::move(rest);
    m_current.marks = std::move(restMarks);
    m_reads.insert(m_reads.end(), restReads.begin(), restReads.end());
    m_current.endUs = m_reads.back().second;
}

void CFrameSplitter::SplitAtFrameEnds(std::vector<CLineFrame>& done) {
    while (m_open && m_frameEnd) {
        const size_t end = std::min(m_frameEnd(m_current.bytes), m_current.bytes.size());
        if (end == 0)
            return;
        Finish(done, end, false);
    }
}

// Marks only once a read brings some: until then a frame has none.
void CFrameSplitter::AddMarks(const uint8_t* marks, size_t count) {
    if (marks == nullptr && m_current.marks.empty())
        return;
    m_current.marks.resize(m_current.bytes.size(), 0);
    if (marks == nullptr)
        m_current.marks.resize(m_current.bytes.size() + count, 0);
    else
        m_current.marks.insert(m_current.marks.end(), marks, marks + count);
}

std::vector<CLineFrame> CFrameSplitter::Feed(const uint8_t* bytes, size_t count, int64_t arrivalUs,
                                             const uint8_t* marks) {
    std::vector<CLineFrame> done = Idle(arrivalUs);
    for (size_t used = 0; used < count;) {
        if (!m_open)
            Start(arrivalUs);
        else if (m_reads.back().second != arrivalUs)
            m_reads.emplace_back(m_current.bytes.size(), arrivalUs);
        const size_t take = std::min(count - used, kMaxFrame - m_current.bytes.size());
        AddMarks(marks == nullptr ? nullptr : marks + used, take);
        m_current.bytes.insert(m_current.bytes.end(), bytes + used, bytes + used + take);
        m_current.endUs = arrivalUs;
        used += take;
        SplitAtFrameEnds(done);
        if (m_open && m_current.bytes.size() >= kMaxFrame)
            Finish(done, kMaxFrame, true);
    }
    return done;
}

std::vector<CLineFrame> CFrameSplitter::Idle(int64_t nowUs) {
    if (!m_open || nowUs - m_current.endUs < m_gapUs)
        return {};
    return Flush();
}

std::vector<CLineFrame> CFrameSplitter::Flush() {
    std::vector<CLineFrame> done;
    if (m_open)
        Finish(done, m_current.bytes.size(), false);
    return done;
}

int64_t CFrameSplitter::IdleDeadlineUs() const {
    return m_open ? m_current.endUs + m_gapUs : -1;
}

int64_t ModbusRtuGapUs(const CLineConfig& line) {
    constexpr uint32_t kFixedAbove = 19200;
    constexpr int64_t kFixedGapUs = 1750;
    if (line.baud > kFixedAbove || line.baud == 0)
        return kFixedGapUs;
    // 3.5 characters of half bits, rounded up to the next microsecond.
    const int64_t halfBits = CharacterHalfBits(line);
    return (halfBits * 7 * 1000000 + 4 * line.baud - 1) / (4 * line.baud);
}

} // namespace brivox
