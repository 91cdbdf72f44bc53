#include "cli/CliArguments.h"

#include "cli/Cli.h"

#include <gtest/gtest.h>
#include <sstream>

namespace brivox::cli {
namespace {

const std::vector<COptionSpec> kKnown = {{"--mode", true}, {"--raw", false}, {"--reply", true}};

TEST(CliArgumentsTest, OptionsValuesAndPositionals) {
    CCliArguments args;
    ASSERT_EQ(
        args.Parse({"--mode", "detail", "--reply=05=06", "--reply", "07=08", "x", "--raw"}, kKnown),
        "");
    EXPECT_EQ(args.Value("--mode"), "detail");
    EXPECT_EQ(args.Values("--reply"), (std::vector<std::string>{"05=06", "07=08"}));
    EXPECT_TRUE(args.Has("--raw"));
    EXPECT_EQ(args.Positionals(), (std::vector<std::string>{"x"}));
    EXPECT_EQ(args.Value("--missing", "fallback"), "fallback");
}

TEST(CliArgumentsTest, DoubleDashEndsTheOptions) {
    CCliArguments args;
    ASSERT_EQ(args.Parse({"--raw", "--", "--mode", "-5", "-"}, kKnown), "");
    EXPECT_FALSE(args.Has("--mode"));
    EXPECT_EQ(args.Positionals(), (std::vector<std::string>{"--mode", "-5", "-"}));
}

TEST(CliArgumentsTest, MistakesAreNamed) {
    CCliArguments args;
    EXPECT_EQ(args.Parse({"--bogus"}, kKnown), "unknown option --bogus");
    EXPECT_EQ(args.Parse({"--mode"}, kKnown), "option --mode needs a value");
    EXPECT_EQ(args.Parse({"--raw=1"}, kKnown), "option --raw takes no value");
}

TEST(CliTest, HelpAndUnknownCommands) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"help"}, out, err), 0);
    EXPECT_NE(out.str().find("settings [--raw] [FILE]"), std::string::npos);
    EXPECT_EQ(RunCli({"frobnicate"}, out, err), 1);
    EXPECT_NE(err.str().find("unknown command 'frobnicate'"), std::string::npos);
    EXPECT_EQ(RunCli({}, out, err), 1);
    EXPECT_EQ(RunCli({"settings", "--bogus"}, out, err), 1);
}

} // namespace
} // namespace brivox::cli
