#pragma once

#include "rules/BytePattern.h"

#include <string>
#include <string_view>
#include <vector>

namespace brivox {

// One rule: what it waits for on the line and what it does then.
struct CRule {
    static constexpr int kMaxDelayMs = 60000;
    static constexpr int kMaxGapMs = 60000;
    static constexpr int kMaxCount = 1000000000;

    std::string name;
    int line = 0; // of its "rule" line
    CBytePattern match;
    CBytePattern answer; // empty: the rule only marks
    std::string mark;    // empty: none
    int delayMs = 0;
    int count = 0; // answers at most this many hits; 0: every hit
    int gapMs = 0; // 0: matched as bytes arrive; else against the bytes before a quiet of gapMs
};

// Reads a rules file:
//
//   # a comment
//   rule NAME              starts a rule
//   match PATTERN          what the rule waits for (see CBytePattern)
//   answer PATTERN         what it sends then
//   delay MS               how long it waits before answering
//   count N                answers only its first N hits
//   gap MS                 matches only the bytes that came before the line was quiet MS
//   mark "TEXT"            a line for the log
//
// Returns an error text that begins with the line number ("line 7: ..."), empty on success.
std::string ParseRules(std::string_view text, std::vector<CRule>& rules);
// Reads and parses the rules file at path; the error begins with the path ("r.rules: line 7: ...").
std::string LoadRules(const std::string& path, std::vector<CRule>& rules);

} // namespace brivox
