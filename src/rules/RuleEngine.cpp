#include "rules/RuleEngine.h"

#include <algorithm>

namespace brivox {

namespace {

using Fit = CBytePattern::Fit;

} // namespace

CRuleEngine::CRuleEngine(std::vector<CRule> rules)
    : m_rules(std::move(rules)), m_hits(m_rules.size(), 0) {
    for (size_t i = 0; i < m_rules.size(); ++i)
        (m_rules[i].gapMs == 0 ? m_streamRules : m_gapRules).push_back(i);
    m_frameStarts.assign(m_gapRules.size(), 0);
    m_quietTried.assign(m_gapRules.size(), false);
}

std::vector<CRuleHit> CRuleEngine::Feed(const uint8_t* bytes, size_t count) {
    std::vector<CRuleHit> hits;
    if (!m_gapRules.empty()) {
        m_frame.insert(m_frame.end(), bytes, bytes + count);
        std::fill(m_quietTried.begin(), m_quietTried.end(), false);
        DropFrameBytes(m_frame.size() - std::min(m_frame.size(), kFrameLimit));
    }
    if (!m_streamRules.empty())
        for (size_t i = 0; i < count; ++i)
            FeedByte(bytes[i], hits);
    return hits;
}

void CRuleEngine::FeedByte(uint8_t byte, std::vector<CRuleHit>& hits) {
    m_window.push_back(byte);
    m_starts.push_back(m_window.size() - 1);
    if (m_starts.size() > kStartLimit)
        m_starts.erase(m_starts.begin());
    m_open.assign(m_starts.size(), false);
    for (const size_t rule : m_streamRules) {
        const CBytePattern& match = m_rules[rule].match;
        for (size_t i = 0; i < m_starts.size(); ++i) {
            const size_t start = m_starts[i];
            const Fit fit = match.Match(m_window.data() + start, m_window.size() - start);
            if (fit == Fit::Whole) {
                hits.push_back(Hit(
                    rule, {m_window.begin() + static_cast<std::ptrdiff_t>(start), m_window.end()}));
                m_window.clear();
                m_starts.clear();
                return;
            }
            m_open[i] = m_open[i] || fit == Fit::Prefix;
        }
    }
    // In place: this runs for every byte.
    const size_t oldest = m_window.size() - std::min(m_window.size(), kWindowLimit);
    size_t kept = 0;
    for (size_t i = 0; i < m_starts.size(); ++i)
        if (m_open[i] && m_starts[i] >= oldest)
            m_starts[kept++] = m_starts[i];
    m_starts.resize(kept);
    const size_t keepFrom = m_starts.empty() ? m_window.size() : m_starts.front();
    m_window.erase(m_window.begin(), m_window.begin() + static_cast<std::ptrdiff_t>(keepFrom));
    for (size_t& start : m_starts)
        start -= keepFrom;
}

int CRuleEngine::NextQuietMs() const {
    int next = -1;
    for (size_t i = 0; i < m_gapRules.size(); ++i) {
        const int gap = m_rules[m_gapRules[i]].gapMs;
        if (!m_quietTried[i] && m_frameStarts[i] < m_frame.size() && (next < 0 || gap < next))
            next = gap;
    }
    return next;
}

std::vector<CRuleHit> CRuleEngine::Quiet(int quietMs) {
    std::vector<CRuleHit> hits;
    if (m_gapRules.empty())
        return hits;
    for (size_t i = 0; i < m_gapRules.size(); ++i) {
        const size_t rule = m_gapRules[i];
        if (m_quietTried[i] || m_rules[rule].gapMs > quietMs)
            continue;
        m_quietTried[i] = true;
        const std::vector<uint8_t> frame(
            m_frame.begin() + static_cast<std::ptrdiff_t>(m_frameStarts[i]), m_frame.end());
        m_frameStarts[i] = m_frame.size();
        if (!frame.empty() && m_rules[rule].match.Match(frame) == Fit::Whole)
            hits.push_back(Hit(rule, frame));
    }
    // The bytes every gap rule is done with go.
    DropFrameBytes(*std::min_element(m_frameStarts.begin(), m_frameStarts.end()));
    return hits;
}

void CRuleEngine::DropFrameBytes(size_t count) {
    m_frame.erase(m_frame.begin(), m_frame.begin() + static_cast<std::ptrdiff_t>(count));
    for (size_t& start : m_frameStarts)
        start -= std::min(start, count);
}

void CRuleEngine::Reset() {
    m_window.clear();
    m_starts.clear();
    m_frame.clear();
    std::fill(m_frameStarts.begin(), m_frameStarts.end(), 0);
}

CRuleHit CRuleEngine::Hit(size_t rule, std::vector<uint8_t> matched) {
    const CRule& r = m_rules[rule];
    CRuleHit hit;
    hit.rule = rule;
    ++m_hits[rule];
    hit.answers = !r.answer.Empty() && (r.count == 0 || m_hits[rule] <= r.count);
    if (hit.answers)
        hit.answer = r.answer.Build(matched);
    hit.matched = std::move(matched);
    return hit;
}

} // namespace brivox
