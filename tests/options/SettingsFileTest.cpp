// The settings file under odd and damaged files: nothing blocks, nothing is lost unseen.
#include "options/SettingsFile.h"

#include "options/OptionKeys.h"
#include "platform/FileIO.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace brivox {
namespace {

using Outcome = COptionLoadReport::Outcome;
namespace fs = std::filesystem;

// The record 23 0C "GOPT.brindex" 05 00 00 00.
const std::string kBaudFive =
    std::string("\x23\x0C", 2) + "GOPT.brindex" + std::string("\x05\0\0\0", 4);

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(SettingsFileTest, OnlyARegularFileOfSaneSizeIsRead) {
    test::CTempFolder folder;
    const std::string fifo = folder.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", folder.Path("zero"));
    const std::string huge = folder.Path("huge");
    test::WriteTestFile(huge, kBaudFive);
    ASSERT_EQ(truncate(huge.c_str(), kMaxWholeFileSize + 1), 0); // sparse: no disk used
    const struct {
        std::string path;
        Outcome outcome;
        const char* reason;
    } cases[] = {
        {fifo, Outcome::Unreadable, "not a regular file"},
        {folder.Path("zero"), Outcome::Unreadable, "not a regular file"},
        {folder.Root(), Outcome::Unreadable, "not a regular file"},
        {huge, Outcome::Unreadable, "larger than 64 MiB"},
        {folder.Path("missing"), Outcome::Missing, "no such file"},
    };
    for (const auto& c : cases) {
        COptionStore store;
        const COptionLoadReport report = CSettingsFile(c.path).Load(store);
        EXPECT_EQ(report.outcome, c.outcome) << c.path;
        EXPECT_EQ(report.reason, c.reason) << c.path;
        EXPECT_TRUE(store.GetEntries().empty());
    }
}

TEST(SettingsFileTest, AFileThatDidNotLoadWholeIsKeptBesideBeforeTheFirstSave) {
    test::CTempFolder folder;
    const std::string path = folder.Path("xyt_gopt.dat");
    const std::string damaged = path + CSettingsFile::kDamagedSuffix;
    const std::string badByte = kBaudFive + "\x22\x01X" + kBaudFive; // sub-kind 2 breaks it
    test::WriteTestFile(path, badByte);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);

    CSettingsFile file(path);
    COptionStore store;
    EXPECT_EQ(file.Load(store).outcome, Outcome::Failed);
    EXPECT_EQ(store.GetInt(opt::kBaudIndex, -1), 5);
    ASSERT_TRUE(file.Save(store));
    EXPECT_EQ(test::ReadTestFile(damaged), badByte);
    EXPECT_EQ(ModeOf(path), 0600u) << "the old mode with owner read and write";
    ASSERT_TRUE(file.Save(store));
    EXPECT_EQ(test::ReadTestFile(damaged), badByte) << "only the first save keeps the old file";

    test::WriteTestFile(path, "\x23\x0C"
                              "GOPT.bri"); // cut inside the name
    CSettingsFile later(path);
    later.Load(store);
    ASSERT_TRUE(later.Save(store));
    EXPECT_EQ(test::ReadTestFile(damaged), "\x23\x0C"
                                           "GOPT.bri")
        << "a later damaged file";

    fs::remove(path);
    fs::create_symlink("/dev/zero", path);
    CSettingsFile zero(path);
    zero.Load(store);
    ASSERT_TRUE(zero.Save(store));
    EXPECT_TRUE(fs::is_symlink(damaged)) << "the link itself is kept, /dev/zero untouched";
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
}

TEST(SettingsFileTest, SavesWriteThroughALinkAndSweepOnlyStaleTemporaries) {
    test::CTempFolder folder;
    const std::string target = folder.Path("dotfiles/xyt_gopt.dat");
    const std::string path = folder.Path("Brivox/xyt_gopt.dat");
    test::WriteTestFile(target, kBaudFive);
    fs::create_directories(folder.Path("Brivox"));
    fs::create_symlink("../dotfiles/xyt_gopt.dat", path);

    const std::string infix = CAtomicFileWriter::kTemporaryInfix;
    const std::string stale = target + infix + "Ab12Cd";
    const std::string fresh = target + infix + "Ef34Gh";
    const std::string locked = target + infix + "Ij56Kl";
    const std::string users = target + ".backup";
    for (const std::string& name : {stale, fresh, locked, users})
        test::WriteTestFile(name, "x");
    const utimbuf old{time(nullptr) - 3600, time(nullptr) - 3600};
    for (const std::string& name : {stale, locked, users})
        utime(name.c_str(), &old);
    const int writer = open(locked.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);

    CSettingsFile file(path);
    COptionStore store;
    EXPECT_EQ(file.Load(store).outcome, Outcome::Complete);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh) && fs::exists(locked) && fs::exists(users));
    close(writer);

    store.SetInt(opt::kBaudIndex, 7);
    ASSERT_TRUE(file.Save(store));
    EXPECT_TRUE(fs::is_symlink(path)) << "the link stays a link";
    COptionStore back;
    ASSERT_TRUE(back.Load(target, false));
    EXPECT_EQ(back.GetInt(opt::kBaudIndex, -1), 7);
}

} // namespace
} // namespace brivox
