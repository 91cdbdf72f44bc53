#include "cli/Cli.h"
#include "options/HistoryList.h"
#include "options/OptionStore.h"
#include "platform/Paths.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <sstream>

namespace brivox::cli {
namespace {

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun Settings(std::vector<std::string> args) {
    args.insert(args.begin(), "settings");
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

bool HasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(SettingsCommandTest, PrintsTheFileOverTheDefaultsSortedByName) {
    test::CTempFolder folder;
    const std::string path = folder.Path("xyt_gopt.dat");
    test::WriteTestFile(path, std::string("\x23\x0CGOPT.brindex\x05\0\0\0"
                                          "\x00\x03"
                                          "raw\x02\xAB\x01",
                                          26));
    const CliRun run = Settings({path});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(HasLine(run.out, "GOPT.brindex = 5 (int)"));
    EXPECT_TRUE(HasLine(run.out, "GOPT.mdwddata = 1234 (text)"));
    EXPECT_TRUE(HasLine(run.out, "raw = AB 01 (bytes)"));
    EXPECT_TRUE(HasLine(run.out, "GOPT.lgntisrtime =  (text)"));
    EXPECT_LT(run.out.find("GOPT.brindex"), run.out.find("GOPT.databits"));
    EXPECT_LT(run.out.find("GOPT.wsdsinterval"), run.out.find("raw ="));
}

TEST(SettingsCommandTest, RawLoadsIntoAnEmptyStore) {
    test::CTempFolder folder;
    const std::string path = folder.Path("history0.asg");
    COptionStore history;
    history.SetInt("Cnt", 1);
    history.SetString("0", "41 42 (06)");
    ASSERT_TRUE(history.Save(path));
    const CliRun run = Settings({"--raw", path});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "0 = 41 42 (06) (text)\nCnt = 1 (int)\n");
}

TEST(SettingsCommandTest, RawReadsAHistoryListAsTheProgramSavesIt) {
    CHistoryList list(2);
    for (const char* text : {"DALMENO", "41 42", "05"})
        list.AddToHistory(text);
    list.Pin(1);
    ASSERT_TRUE(list.SaveHistory());
    const CliRun run = Settings({"--raw", list.FilePath()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "0 = [mem]41 42 (text)\n1 = 05 (text)\n2 = DALMENO (text)\nCnt = 3 (int)\n");
}

TEST(SettingsCommandTest, MalformedFilesSayWhereTheLoadStopped) {
    test::CTempFolder folder;
    const std::string failed = folder.Path("failed.dat");
    test::WriteTestFile(failed, std::string("\x23\x01"
                                            "a\x01\0\0\0"
                                            "\x22\x01x",
                                            10));
    CliRun run = Settings({"--raw", failed});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "a = 1 (int)\n");
    EXPECT_NE(run.err.find("load failed at byte 10 (record starting at byte 7)"), std::string::npos)
        << run.err;

    const std::string cut = folder.Path("cut.dat");
    test::WriteTestFile(cut, std::string("\x23\x01"
                                         "a\x01\0\0\0"
                                         "\x08\x01t\x09xy",
                                         12));
    run = Settings({"--raw", cut});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "a = 1 (int)\n");
    EXPECT_NE(run.err.find("stopped early at byte 11"), std::string::npos) << run.err;

    run = Settings({folder.Path("missing.dat")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("cannot read"), std::string::npos);
    EXPECT_EQ(run.out, "");

    run = Settings({"/dev/zero"});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("/dev/zero: not a regular file"), std::string::npos) << run.err;
}

TEST(SettingsCommandTest, WithoutAFileReadsTheUsersSettings) {
    COptionStore store;
    store.SetInt("GOPT.brindex", 7);
    ASSERT_TRUE(store.Save(SettingsPath("xyt_gopt.dat")));
    const CliRun run = Settings({});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(HasLine(run.out, "GOPT.brindex = 7 (int)"));
}

} // namespace
} // namespace brivox::cli
