// Any text read as a rules file is parsed without a crash or an out-of-bounds read, and a
// refused file names a line it has. The bytes after the first NUL are then fed to the rules it
// accepted, in two chunks, and again as a frame before a quiet: every hit names a rule that
// answers or marks, and its matched bytes came from the line.
#include "rules/RuleEngine.h"

#include <algorithm>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    const uint8_t* nul = std::find(data, end, uint8_t{0});
    const std::string_view text(reinterpret_cast<const char*>(data), nul - data);
    std::vector<brivox::CRule> rules;
    const std::string error = brivox::ParseRules(text, rules);
    if (!error.empty()) {
        const long lines = std::count(text.begin(), text.end(), '\n') + 1;
        if (error.rfind("line ", 0) == 0 && std::atol(error.c_str() + 5) > lines)
            std::abort();
        return 0;
    }
    if (rules.empty())
        std::abort();
    const uint8_t* bytes = nul == end ? end : nul + 1;
    const size_t count = static_cast<size_t>(end - bytes);
    brivox::CRuleEngine engine(rules);
    std::vector<brivox::CRuleHit> hits = engine.Feed(bytes, count / 2);
    const std::vector<brivox::CRuleHit> more = engine.Feed(bytes + count / 2, count - count / 2);
    hits.insert(hits.end(), more.begin(), more.end());
    const std::vector<brivox::CRuleHit> quiet = engine.Quiet(brivox::CRule::kMaxGapMs);
    hits.insert(hits.end(), quiet.begin(), quiet.end());
    for (const brivox::CRuleHit& hit : hits) {
        if (hit.rule >= rules.size() || hit.matched.size() > count ||
            (hit.answers && rules[hit.rule].answer.Empty()))
            std::abort();
    }
    return 0;
}
