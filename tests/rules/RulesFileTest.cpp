#include "rules/RulesFile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace brivox {
namespace {

TEST(RulesFileTest, ReadsEveryLineOfARule) {
    const char* text = "# a device\n"
                       "rule ack-read\n"
                       "match  01 03 ?? ?? 00 ?? crc16-modbus   # a read of few registers\n"
                       "answer 01 03 02 $4 $5 crc16-modbus\n"
                       "delay  5\n"
                       "count  3\n"
                       "\n"
                       "rule login\r\n"
                       "  match \"login:\"\n"
                       "  answer \"root\" 0D\n"
                       "  mark \"login # prompt seen\"\n"
                       "  gap 20\n";
    std::vector<CRule> rules;
    ASSERT_EQ(ParseRules(text, rules), "");
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].name, "ack-read");
    EXPECT_EQ(rules[0].line, 2);
    EXPECT_EQ(rules[0].delayMs, 5);
    EXPECT_EQ(rules[0].count, 3);
    EXPECT_EQ(rules[0].gapMs, 0);
    EXPECT_EQ(rules[0].match.MinimumSize(), 8u);
    EXPECT_EQ(rules[1].name, "login");
    EXPECT_EQ(rules[1].mark, "login # prompt seen");
    EXPECT_EQ(rules[1].gapMs, 20);
    EXPECT_EQ(rules[1].answer.Build({}), std::vector<uint8_t>({'r', 'o', 'o', 't', 0x0D}));
}

TEST(RulesFileTest, NamesTheLineOfEachError) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "the file holds no rule (start one with: rule NAME)"},
        {"# nothing\n", "the file holds no rule (start one with: rule NAME)"},
        {"match 01\n", "line 1: \"match\" outside a rule (start one with: rule NAME)"},
        {"rule\n", "line 1: a rule needs a name of one word: rule NAME"},
        {"rule a b\n", "line 1: a rule needs a name of one word: rule NAME"},
        {"rule a\nanswer 06\n", "line 1: rule a has no match line"},
        {"rule a\nmatch 01\n\nrule b\n", "line 1: rule a neither answers nor marks"},
        {"rule a\nmatch 01\nanswer 06\nrule a\n", "line 4: a second rule named a"},
        {"rule a\nmatch 01\nmatch 02\n", "line 3: a rule holds one match line"},
        {"rule a\nmatch 01 zz\n", "line 2: match: \"zz\" is no hex byte"},
        {"rule a\nmatch 01\nanswer ??\n", "line 3: answer: ?? goes in a match"},
        {"rule a\nmatch 01\nanswer 06\ndelay -1\n",
         "line 4: delay -1: give a whole number from 0 to 60000"},
        {"rule a\nmatch 01\nanswer 06\ncount 0\n",
         "line 4: count 0: give a whole number from 1 to 1000000000"},
        {"rule a\nmatch 01\nanswer 06\ngap 5ms\n",
         "line 4: gap 5ms: give a whole number from 1 to 60000"},
        {"rule a\nmatch 01\nmark seen\n", "line 3: give the mark as one \"text\""},
        {"rule a\nmatch 01\nwait 3\n", "line 3: unknown line \"wait\""},
        {"rule a\nmatch * 01\nanswer 06\n", "line 1: rule a begins its match with *"},
        {"rule a\nmatch 01 *\nanswer 06\n", "line 1: rule a ends its match with *"},
        {"rule a\nmatch 01 ??\nanswer $3\n",
         "line 1: rule a answers $3, but its match may take only 2 bytes"},
    };
    for (const auto& c : cases) {
        std::vector<CRule> rules;
        const std::string error = ParseRules(c.text, rules);
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << "\n gave: " << error;
    }
}

TEST(RulesFileTest, AGapRuleMayBeginAndEndWithARun) {
    std::vector<CRule> rules;
    EXPECT_EQ(ParseRules("rule frame\nmatch * 03 *\ngap 10\nmark \"03 seen\"\n", rules), "");
}

// The README's example is a file users copy: it must load as it stands.
TEST(RulesFileTest, TheReadmeExampleLoads) {
    std::ifstream readme(BRIVOX_README);
    std::stringstream text;
    text << readme.rdbuf();
    const std::string all = text.str();
    const size_t start = all.find("# slave.rules\n");
    ASSERT_NE(start, std::string::npos);
    const std::string example = all.substr(start, all.find("```", start) - start);
    std::vector<CRule> rules;
    ASSERT_EQ(ParseRules(example, rules), "");
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].count, 3);
    EXPECT_EQ(rules[1].mark, "login prompt seen");
}

} // namespace
} // namespace brivox
