#include "platform/FileIO.h"
#include "platform/Language.h"
#include "platform/Paths.h"
#include "platform/Version.h"
#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace brivox {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(PathsTest, SettingsFolderFollowsXdgConfigHome) {
    const std::string saved = getenv("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", "/tmp/somewhere", 1);
    EXPECT_EQ(SettingsFolder(), "/tmp/somewhere/Brivox");
    EXPECT_EQ(SettingsPath("xyt_gopt.dat"), "/tmp/somewhere/Brivox/xyt_gopt.dat");
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(SettingsFolder(), "/home/tester/.config/Brivox");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFolder(), "/home/tester/.config/Brivox");
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);

    EXPECT_EQ(FolderOf("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(FolderOf("/c.txt"), "/");
    EXPECT_EQ(FolderOf("c.txt"), "");
}

TEST(PathsTest, MakeSurePathExistsCreatesEveryMissingFolder) {
    test::CTempFolder folder;
    EXPECT_TRUE(MakeSurePathExists(folder.Path("a/b/c")));
    EXPECT_TRUE(PathExists(folder.Path("a/b/c")));
    EXPECT_TRUE(MakeSurePathExists(folder.Path("a/b/c")));
    test::WriteTestFile(folder.Path("file"), "");
    EXPECT_FALSE(MakeSurePathExists(folder.Path("file/d")));
}

TEST(FileIOTest, WholeFilesAreReplacedOnlyWhenTheWriteCompletes) {
    test::CTempFolder folder;
    const std::string path = folder.Path("sub/data");
    EXPECT_EQ(WriteWholeFile(path, "first"), FileWriteError::None);
    std::string read;
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_EQ(read, "first");
    {
        const test::CFileSizeLimit diskFull(3);
        EXPECT_EQ(WriteWholeFile(path, "second, longer"), FileWriteError::Write);
    }
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_EQ(read, "first");

    test::WriteTestFile(folder.Path("blocker"), "");
    EXPECT_EQ(WriteWholeFile(folder.Path("blocker/x/y"), "z"), FileWriteError::Folder);
    EXPECT_FALSE(ReadWholeFile(folder.Path("missing"), read));
    EXPECT_FALSE(ReadWholeFile(folder.Root(), read)) << "a folder is no file";
}

// Whole-file writes replace a regular file or a link, never what a path names otherwise, and
// make no folders along a dangling link (as root they could be anywhere).
TEST(FileIOTest, WholeFilesNeverReplaceDevicesOrFifosNorFollowALinkIntoNewFolders) {
    test::CTempFolder folder;
    const std::string fifo = folder.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = folder.Path("null");
    const bool haveDevice = mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    const std::string dangling = folder.Path("history1.asg");
    const std::string missing = folder.Path("nonexistent/dir/history1.asg");
    ASSERT_EQ(symlink(missing.c_str(), dangling.c_str()), 0);

    EXPECT_EQ(WriteWholeFile(fifo, "x"), FileWriteError::NotRegular);
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
    if (haveDevice) {
        EXPECT_EQ(WriteWholeFile(device, "x"), FileWriteError::NotRegular);
        EXPECT_TRUE(S_ISCHR(ModeOf(device)));
    }
    int cause = 0;
    EXPECT_EQ(WriteWholeFile(dangling, "x", &cause), FileWriteError::Create);
    EXPECT_EQ(cause, ENOENT);
    EXPECT_FALSE(PathExists(folder.Path("nonexistent")));
    MakeSurePathExists(FolderOf(missing));
    EXPECT_EQ(WriteWholeFile(dangling, "x"), FileWriteError::None) << "written through";
    EXPECT_EQ(test::ReadTestFile(missing), "x");
}

TEST(VersionTest, NumberAndTextFromTheProductVersion) {
    const struct {
        const char* version;
        int number;
        const char* text;
    } cases[] = {
        {"1, 4, 2, 1", 142, "1.42"}, {"1,4,2,1", 142, "1.42"},     {"12, 34, 56, 7", 1246, "12.46"},
        {"1, 4, 2", 0, "0.00"},      {"1, 4, 2, 1, 0", 0, "0.00"}, {"", 0, "0.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseVersionNumber(c.version), c.number) << c.version;
        EXPECT_EQ(VersionText(ParseVersionNumber(c.version)), c.text) << c.version;
    }
    EXPECT_STREQ(ProductVersionText(), "1, 4, 2, 1");
    EXPECT_EQ(VersionNumber(), 142);
}

TEST(LanguageTest, KoreanLocaleUnlessForcedToEnglish) {
    EXPECT_EQ(LanguageCodeFor("ko_KR.UTF-8", false), "kor");
    EXPECT_EQ(LanguageCodeFor("ko_KR.UTF-8", true), "eng");
    EXPECT_EQ(LanguageCodeFor("en_US.UTF-8", false), "eng");
    EXPECT_EQ(LanguageCodeFor("", false), "eng");
    EXPECT_EQ(LanguageCodeFor("C", false), "eng");

    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "ko_KR", 1);
    setenv("LANG", "de_DE", 1);
    EXPECT_EQ(UserLocaleName(), "ko_KR");
    setenv("LC_ALL", "en_GB", 1);
    EXPECT_EQ(UserLocaleName(), "en_GB");
    EXPECT_EQ(FakeEnglishMarkerPath(), SettingsFolder() + "/_fakeengwindow.txt");
}

} // namespace
} // namespace brivox
