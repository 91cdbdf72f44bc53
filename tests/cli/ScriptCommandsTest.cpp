#include "cli/Cli.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace brivox::cli {
namespace {

struct CliResult {
    int code;
    std::string out;
};

CliResult Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str()};
}

TEST(CompileCommandTest, PrintsItemsOrTheError) {
    const struct {
        std::vector<std::string> args;
        int code;
        const char* out;
    } cases[] = {
        {{"compile", "--mode", "detail", "41 4F <05 A5> D7"},
         0,
         "send 41 4F\nexpect 05 A5\nsend D7\n"},
        {{"compile", "--mode", "detail", "  05 <06>\t"}, 0, "send 05\nexpect 06\n"},
        {{"compile", "--mode", "detail", "--", "41  42"}, 1, "error 3 Unrecognized character\n"},
        {{"compile", "--mode", "detail", ""}, 1, "error 0 Unrecognized character\n"},
        {{"compile", "--mode", "string", "--", "-AT"}, 0, "send 2D 41 54\n"},
        {{"compile", "--mode", "decimal", "12 300"}, 1, "error 3 Value out of range.\n"},
        {{"compile", "--mode", "keystroke", "41"}, 0, ""},
        {{"compile", "--mode", "modbus", "41"}, 1, ""},
        {{"compile", "--mode", "detail"}, 1, ""},
    };
    for (const auto& c : cases) {
        const CliResult result = Cli(c.args);
        EXPECT_EQ(result.code, c.code) << c.args.back();
        EXPECT_EQ(result.out, c.out) << c.args.back();
    }
}

TEST(ModbusCommandTest, BuildsRequestsOverTheDefaults) {
    const struct {
        std::vector<std::string> args;
        int code;
        const char* out;
    } cases[] = {
        {{"--rtu", "--function", "03", "--slave", "1", "--start", "0000", "--length", "10"},
         0,
         "send 01 03 00 00 00 0A C5 CD\n"},
        {{"--rtu", "--function", "03"}, 0, "send 03 03 70 00 00 03 1E E9\n"},
        {{"--ascii", "--function", "05", "--slave", "1", "--start", "0000", "--bit-on", "0"},
         0,
         "send 3A 30 31 30 35 30 30 30 30 30 30 30 30 46 41 0D 0A\n"},
        {{"--rtu", "--function", "0F", "--length", "10", "--bits", "CD"},
         1,
         "error Please input at least 2 bytes of hexa value in Bits-In-Hexa Expression\n"},
        {{"--rtu", "--function", "10"}, 1, "error Multiple Word Data is null\n"},
        {{"--rtu", "--function", "07"}, 1, ""},
        {{"--rtu", "--ascii", "--function", "03"}, 1, ""},
        {{"--rtu", "--function", "03", "--slave", "x1"}, 1, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "modbus");
        const CliResult result = Cli(args);
        EXPECT_EQ(result.code, c.code) << testing::PrintToString(c.args);
        EXPECT_EQ(result.out, c.out) << testing::PrintToString(c.args);
    }
}

TEST(CompileFileCommandTest, OneSendItemOfAtMost1024Bytes) {
    test::CTempFolder folder;
    test::WriteTestFile(folder.Path("small"), "AB");
    EXPECT_EQ(Cli({"compile-file", folder.Path("small")}).out, "send 41 42\n");
    test::WriteTestFile(folder.Path("big"), std::string(5000, 'z'));
    const CliResult big = Cli({"compile-file", folder.Path("big")});
    EXPECT_EQ(big.code, 0);
    EXPECT_EQ(big.out.size(), std::string("send\n").size() + 1024 * 3);
    test::WriteTestFile(folder.Path("empty"), "");
    EXPECT_EQ(Cli({"compile-file", folder.Path("empty")}).out, "send\n");
    EXPECT_EQ(Cli({"compile-file", folder.Path("missing")}).code, 1);

    // Neither waits for a writer nor reads forever.
    ASSERT_EQ(mkfifo(folder.Path("fifo").c_str(), 0600), 0);
    for (const std::string& path : {folder.Path("fifo"), std::string("/dev/zero")}) {
        const CliResult refused = Cli({"compile-file", path});
        EXPECT_EQ(refused.code, 1) << path;
        EXPECT_EQ(refused.out, "") << path;
    }
}

} // namespace
} // namespace brivox::cli
