#include "session/SendProgram.h"

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
        bool plainBox;
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
        EXPECT_EQ(result.plainBox, c.plainBox) << c.path;
        EXPECT_EQ(result.fileBytes, c.bytes) << c.path;
        EXPECT_EQ(result.caption, c.plainBox ? "Error" : "Syntax Error") << c.path;
    }
    EXPECT_EQ(TransferResultText(1024), "Transfered : 1024 bytes ");
}

} // namespace
} // namespace brivox
