#include "trace/SharedString.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brivox {
namespace {

std::string UniqueName(const std::string& stem) {
    return stem + std::to_string(getpid());
}

TEST(SharedStringTest, SetGetReplaceAndRelease) {
    const std::string name = UniqueName("brivox_test_");
    bool found = true;
    EXPECT_EQ(GetSharedString(name, &found), "");
    EXPECT_FALSE(found);

    ASSERT_TRUE(SetSharedString(name, "C:\\trace\\file.txt"));
    EXPECT_EQ(GetSharedString(name, &found), "C:\\trace\\file.txt");
    EXPECT_TRUE(found);

    ASSERT_TRUE(SetSharedString(name, "x"));
    EXPECT_EQ(GetSharedString(name), "x") << "a shorter value replaces a longer one";
    ASSERT_TRUE(SetSharedString(name, ""));
    EXPECT_EQ(GetSharedString(name, &found), "");
    EXPECT_TRUE(found) << "an empty string exists";

    ReleaseSharedString(name);
    EXPECT_EQ(GetSharedString(name, &found), "");
    EXPECT_FALSE(found);
}

TEST(SharedStringTest, BackslashesCountAsSlashesAndNamesAreEscaped) {
    const std::string name = UniqueName("Local\\brivox test ");
    ASSERT_TRUE(SetSharedString(name, "value"));
    EXPECT_EQ(GetSharedString(UniqueName("Local/brivox test ")), "value");
    EXPECT_EQ(SharedMemoryName("a\\b c"), "/brivox.a%2Fb%20c");
    ReleaseSharedString(name);
}

TEST(SharedStringTest, AnotherProcessReadsItAndItGoesWhenTheOwnerExits) {
    const std::string name = UniqueName("brivox_child_");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SetSharedString(name, "from the child");
        const bool seen = GetSharedString(name) == "from the child";
        std::exit(seen ? 0 : 1); // exit handlers release what the child created
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    bool found = true;
    GetSharedString(name, &found);
    EXPECT_FALSE(found);

    ASSERT_TRUE(SetSharedString(name, "from the parent"));
    const pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0)
        _exit(GetSharedString(name) == "from the parent" ? 0 : 1);
    waitpid(reader, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ReleaseSharedString(name);
}

TEST(SharedStringTest, AStringLeftByACrashedProcessCountsAsAbsent) {
    const std::string name = UniqueName("brivox_crashed_");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SetSharedString(name, "1");
        _exit(0); // no exit handlers: the object stays, as after a crash
    }
    int status = 0;
    waitpid(child, &status, 0);
    bool found = true;
    EXPECT_EQ(GetSharedString(name, &found), "");
    EXPECT_FALSE(found);
    ASSERT_TRUE(SetSharedString(name, "2"));
    EXPECT_EQ(GetSharedString(name, &found), "2") << "a live owner's string is there";
    EXPECT_TRUE(found);
    ReleaseSharedString(name);
}

} // namespace
} // namespace brivox
