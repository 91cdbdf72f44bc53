#include "brivox-devsim/ReplyModel.h"

#include "brivox-devsim/DevsimOptions.h"

#include <gtest/gtest.h>

namespace brivox::devsim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ReplyModelTest, ParsesRules) {
    CReplyRule rule;
    EXPECT_EQ(ParseReplyRule("05=06 00 10", rule), "");
    EXPECT_EQ(rule, (CReplyRule{{0x05}, {0x06, 0x00, 0x10}}));
    EXPECT_EQ(ParseReplyRule("0a0B=", rule), "");
    EXPECT_EQ(rule, (CReplyRule{{0x0A, 0x0B}, {}}));
    for (const char* bad : {"05", "=06", "5=06", "05=0 6", "zz=06", "05=06="})
        EXPECT_NE(ParseReplyRule(bad, rule), "") << bad;
}

TEST(ReplyModelTest, AnswersWhenTheBytesEndWithARuleFirstRuleWins) {
    CReplyModel model({{{0x01, 0x02}, {0xAA}}, {{0x02}, {0xBB}}, {{0x05}, {0x06, 0x00, 0x10}}});
    const Bytes noise = {0x09, 0x01};
    EXPECT_TRUE(model.Receive(noise.data(), noise.size()).empty());
    const Bytes stream = {0x02, 0x07, 0x02, 0x05, 0x05};
    const auto exchanges = model.Receive(stream.data(), stream.size());
    const std::vector<CExchange> expected = {
        {{0x09, 0x01, 0x02}, {0xAA}},
        {{0x07, 0x02}, {0xBB}},
        {{0x05}, {0x06, 0x00, 0x10}},
        {{0x05}, {0x06, 0x00, 0x10}},
    };
    EXPECT_EQ(exchanges, expected);
}

TEST(DevsimOptionsTest, ChoosesOneBehaviourAndChecksNumbers) {
    const struct {
        std::vector<std::string> args;
        bool ok;
    } cases[] = {
        {{"--echo"}, true},
        {{"--reply", "05=06", "--reply=01=02 03", "--register", "7", "-v"}, true},
        {{"--modbus", "ascii", "--slave", "247", "--seconds", "3"}, true},
        {{"--modbus", "rtu"}, true},
        {{}, false},
        {{"--echo", "--modbus", "rtu"}, false},
        {{"--modbus", "tcp"}, false},
        {{"--modbus", "rtu", "--slave", "0"}, false},
        {{"--echo", "--slave", "3"}, false},
        {{"--echo", "--register", "x"}, false},
        {{"--echo", "--seconds", "0"}, false},
        {{"--reply", "05"}, false},
        {{"--echo", "stray"}, false},
        {{"--bogus"}, false},
    };
    for (const auto& c : cases) {
        CDevsimOptions options;
        const std::string error = ParseDevsimOptions(c.args, options);
        EXPECT_EQ(error.empty(), c.ok) << ::testing::PrintToString(c.args) << ": " << error;
        EXPECT_EQ(options.model != nullptr, c.ok) << ::testing::PrintToString(c.args);
    }
    CDevsimOptions options;
    ASSERT_EQ(ParseDevsimOptions({"--echo", "--register", "12", "--seconds", "5", "-v"}, options),
              "");
    EXPECT_EQ(options.registerNumber, 12);
    EXPECT_EQ(options.seconds, 5);
    EXPECT_TRUE(options.verbose);
}

} // namespace
} // namespace brivox::devsim
