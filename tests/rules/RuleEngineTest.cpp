#include "rules/RuleEngine.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<CRule> Rules(const std::string& text) {
    std::vector<CRule> rules;
    EXPECT_EQ(ParseRules(text, rules), "");
    return rules;
}

// "name:matched hex>answer hex" for each hit.
std::string Describe(const CRuleEngine& engine, const std::vector<CRuleHit>& hits) {
    std::string text;
    for (const CRuleHit& hit : hits) {
        text += engine.Rules()[hit.rule].name + ":";
        for (const uint8_t b : hit.matched)
            text += std::to_string(b) + " ";
        text += ">";
        for (const uint8_t b : hit.answer)
            text += std::to_string(b) + " ";
        text += ";";
    }
    return text;
}

const char kRules[] = "rule read\n"
                      "match 01 03 ?? ?? 00 ?? crc16-modbus\n"
                      "answer 01 03 02 $4 $5 crc16-modbus\n"
                      "rule login\n"
                      "match \"login:\"\n"
                      "answer \"root\" 0D\n"
                      "rule framed\n"
                      "match 02 * 03\n"
                      "answer 06\n";

// Noise, a MODBUS read, a prompt, a framed message, noise: the same hits however it is cut.
TEST(RuleEngineTest, FindsTheSameHitsAcrossEveryChunkBoundary) {
    const Bytes stream = {0xFF, 0x01, 0x01, 0x03, 0x00, 0x10, 0x00, 0x01, 0x85, 0xCF, 'x',
                          'l',  'o',  'g',  'i',  'n',  ':',  0x02, 0x41, 0x42, 0x03, 0x03};
    const std::string expected = "read:1 3 0 16 0 1 133 207 >1 3 2 16 0 181 132 ;"
                                 "login:108 111 103 105 110 58 >114 111 111 116 13 ;"
                                 "framed:2 65 66 3 >6 ;";
    for (size_t first = 0; first <= stream.size(); ++first) {
        for (size_t second = first; second <= stream.size(); ++second) {
            CRuleEngine engine(Rules(kRules));
            std::vector<CRuleHit> hits;
            for (auto [from, to] : {std::pair{size_t{0}, first}, std::pair{first, second},
                                    std::pair{second, stream.size()}}) {
                std::vector<CRuleHit> some = engine.Feed(stream.data() + from, to - from);
                hits.insert(hits.end(), some.begin(), some.end());
            }
            ASSERT_EQ(Describe(engine, hits), expected) << "cut at " << first << ", " << second;
        }
    }
}

TEST(RuleEngineTest, TheFirstRuleInFileOrderWinsAndCountLimitsTheAnswers) {
    CRuleEngine engine(Rules("rule first\nmatch \"ab\"\nanswer 01\ncount 2\n"
                             "rule second\nmatch \"b\"\nanswer 02\n"));
    const std::string text = "abababb";
    const std::vector<CRuleHit> hits =
        engine.Feed(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_EQ(Describe(engine, hits),
              "first:97 98 >1 ;first:97 98 >1 ;first:97 98 >;second:98 >2 ;");
    EXPECT_FALSE(hits[2].answers);
    EXPECT_EQ(engine.Hits(), std::vector<int>({3, 1}));
}

TEST(RuleEngineTest, GapRulesMatchTheWholeFrameBeforeAQuiet) {
    CRuleEngine engine(Rules("rule short\nmatch 01 02\nanswer 0A\ngap 5\n"
                             "rule long\nmatch 01 * \ngap 50\nmark \"a frame\"\n"));
    const Bytes frame = {0x01, 0x02};
    EXPECT_TRUE(engine.Feed(frame.data(), 1).empty());
    EXPECT_TRUE(engine.Feed(frame.data() + 1, 1).empty()); // no gap yet
    EXPECT_EQ(engine.NextQuietMs(), 5);
    EXPECT_EQ(Describe(engine, engine.Quiet(5)), "short:1 2 >10 ;");
    EXPECT_EQ(engine.NextQuietMs(), 50);
    EXPECT_EQ(Describe(engine, engine.Quiet(50)), "long:1 2 >;");
    EXPECT_EQ(engine.NextQuietMs(), -1);
    const Bytes longer = {0x01, 0x02, 0x03};
    engine.Feed(longer.data(), longer.size());
    EXPECT_EQ(Describe(engine, engine.Quiet(60)), "long:1 2 3 >;");
}

TEST(RuleEngineTest, BytesThatCouldEachBeginAMatchKeepOnlyTheNewestStartsAndResetForgetsThem) {
    CRuleEngine engine(Rules("rule framed\nmatch 02 * 03\nanswer 06\n"));
    Bytes noise(3 * CRuleEngine::kWindowLimit, 0x02); // every byte could begin a frame
    EXPECT_TRUE(engine.Feed(noise.data(), noise.size()).empty());
    const Bytes end = {0x03};
    const std::vector<CRuleHit> hits = engine.Feed(end.data(), 1);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].matched.size(), CRuleEngine::kStartLimit);
    engine.Feed(noise.data(), 1);
    engine.Reset();
    EXPECT_TRUE(engine.Feed(end.data(), 1).empty());
}

} // namespace
} // namespace brivox
