#pragma once

#include "rules/RulesFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brivox {

// A rule that matched: the bytes it matched and, while its count allows, its answer.
struct CRuleHit {
    size_t rule = 0; // index into the rules
    std::vector<uint8_t> matched;
    std::vector<uint8_t> answer; // empty: nothing to send
    bool answers = false;        // false once the count is spent, or for a rule that only marks
};

// Matches rules against the bytes of a line as they arrive, across any chunk boundaries. After
// each byte the rules are tried in file order against every run of bytes that ends there and
// could still be a match; the first rule that matches wins, and the bytes up to its match's end
// are done with. Rules with a gap are tried instead against the bytes that came before the line
// went quiet for their gap.
class CRuleEngine {
public:
    // Bytes kept for a match in progress; older ones can no longer start one.
    static constexpr size_t kWindowLimit = 4096;
    // Places where a match may begin that are followed at once; beyond them the oldest goes, so
    // that a stream of bytes that could each begin a match costs a bounded time per byte.
    static constexpr size_t kStartLimit = 64;
    // Bytes kept for the gap rules while the line is not quiet: a longer frame is cut to its end.
    static constexpr size_t kFrameLimit = 65536;

    explicit CRuleEngine(std::vector<CRule> rules);

    const std::vector<CRule>& Rules() const { return m_rules; }
    std::vector<CRuleHit> Feed(const uint8_t* bytes, size_t count);
    // How long after the last byte Quiet is next due; -1 when no rule waits for a gap.
    int NextQuietMs() const;
    // The line has been quiet for quietMs since the last byte.
    std::vector<CRuleHit> Quiet(int quietMs);
    // Hits so far, per rule.
    const std::vector<int>& Hits() const { return m_hits; }
    // Forgets the bytes in progress (a port reopened); counts stay.
    void Reset();

private:
    void FeedByte(uint8_t byte, std::vector<CRuleHit>& hits);
    CRuleHit Hit(size_t rule, std::vector<uint8_t> matched);
    void DropFrameBytes(size_t count);

    std::vector<CRule> m_rules;
    std::vector<size_t> m_streamRules; // without a gap, in file order
    std::vector<size_t> m_gapRules;
    std::vector<int> m_hits;
    std::vector<uint8_t> m_window;     // from the oldest start still in play
    std::vector<size_t> m_starts;      // offsets into the window where a match may begin
    std::vector<bool> m_open;          // per start: some rule could still match from there
    std::vector<uint8_t> m_frame;      // the bytes since the line was last quiet, for gap rules
    std::vector<size_t> m_frameStarts; // per gap rule: where its frame begins in m_frame
    std::vector<bool> m_quietTried;    // per gap rule: tried in the current quiet
};

} // namespace brivox
