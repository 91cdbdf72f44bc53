#include "session/SendProgram.h"

#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {
namespace {

TEST(SendProgramTest, FileModeFindsOpensAndLoadsTheFirstKilobyte) {
    test::CTempFolder folder;
    test::WriteTestFile(folder.Path("big"), std::string(3000, 'x'));
    test::WriteTestFile(folder.Path("small"), "abc");
    test::WriteTestFile(folder.Path("locked"), "abc");
    chmod(folder.Path("locked").c_str(), 0);
    const struct {
        std::string path;
        const char* message;
        bool shownAtOnce;
        int bytes;
    } cases[] = {
        {folder.Path("big"), "", false, 1024},
        {folder.Path("small"), "", false, 3},
        {folder.Path("missing"), "File Cannot be Found", true, -1},
        {folder.Path(""), "File Cannot be Found", true, -1}, // a folder is no file
        {"", "File Cannot be Found", true, -1},
        {folder.Path("locked"), geteuid() == 0 ? "" : "Cannot Open File", geteuid() != 0,
         geteuid() == 0 ? 3 : -1},
    };
    COptionStore options;
    CJPScript script(options);
    for (const auto& c : cases) {
        const CSendProgramResult result = BuildSendProgram(script, kFileMode, "", {}, c.path);
        EXPECT_EQ(result.message, c.message) << c.path;
        EXPECT_EQ(result.shownAtOnce, c.shownAtOnce) << c.path;
        EXPECT_EQ(result.fileBytes, c.bytes) << c.path;
        EXPECT_EQ(result.caption, c.shownAtOnce ? "Error" : "Syntax Error") << c.path;
    }
    EXPECT_EQ(TransferResultText(1024), "Transfered : 1024 bytes ");
}

TEST(SendProgramTest, CaptionsAndPlacesOfTheOtherModes) {
    COptionStore options;
    RegisterDefaultOptions(options, "eng");
    CJPScript script(options);
    options.SetInt(opt::kModeIndex, kDetailMode);
    CSendProgramResult result = BuildSendProgram(script, kDetailMode, "41 4Z", {}, "");
    EXPECT_EQ(result.caption, "Syntax Error");
    EXPECT_GE(result.position, 3);
    options.SetInt(opt::kModbusFunctionIndex, 5);
    options.SetString(opt::kModbusWordsData, "");
    result = BuildSendProgram(script, kModbusRtuMode, "", {false, true}, "");
    EXPECT_EQ(result.caption, "Expression Error");
    EXPECT_EQ(result.focus, ModbusFocus::WordsBox);
    options.SetInt(opt::kModeIndex, kStringMode);
    result = BuildSendProgram(script, kStringMode, "AB", {}, "");
    EXPECT_TRUE(result.Succeeded());
    ASSERT_EQ(script.Items().size(), 1u);
    EXPECT_EQ(script.Items()[0].bytes.ToString(), "AB");
}

} // namespace
} // namespace brivox
