// brivox-cli when files cannot be written, outputs are no plain files and stop signals come at
// awkward moments: it says what was lost, replaces nothing it must not, and keeps its counts.
#include "CliRun.h"
#include "capture/CaptureFile.h"
#include "capture/PcapngReader.h"
#include "platform/FileIO.h"
#include "support/ChildProcess.h"
#include "support/DevsimProcess.h"
#include "support/PortTestSupport.h"
#include "support/SchedulingSlack.h"
#include "support/SmallTmpfs.h"
#include "support/TempFolder.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace brivox {
namespace {

using test::CDevsimProcess;

constexpr int kPort = 57;
constexpr char kPortName[] = "COM57";
constexpr size_t kDiskSize = 64 * 1024;

#define SKIP_WITHOUT_TMPFS(disk)                                                                   \
    if (!(disk).Mounted())                                                                         \
    GTEST_SKIP() << "cannot mount a small tmpfs to fill (" << (disk).Why() << "); needs root"

// The message a failed append gives, and the lines (or packets) it says were written.
int LinesSaidWritten(const std::string& output, const std::string& path,
                     const std::string& unit = "line") {
    std::smatch match;
    const std::regex said(path + R"(: No space left on device: (\d+) )" + unit +
                          R"(s? written, the rest lost)");
    return std::regex_search(output, match, said) ? std::stoi(match[1]) : -1;
}

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Frames of 40 bytes, 10 ms apart: far more lines than the disk takes.
void SendFrames(test::CRegisteredPty& device, int frames) {
    for (int i = 0; i < frames; ++i) {
        device.Send(std::vector<uint8_t>(40, static_cast<uint8_t>('a' + i % 26)));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The packets of a pcapng file, -1 when it does not end with a whole block.
int64_t WholePackets(const std::string& path) {
    CPcapngReader reader;
    if (!reader.Open(path).empty())
        return -1;
    for (CPcapngPacket packet; reader.Next(packet);) {
    }
    return reader.Problem().empty() ? reader.PacketsRead() : -1;
}

TEST(FullDiskTest, MonitorSaysWhatItsLogOrCaptureLostAndLeavesWholeLinesOrBlocks) {
    const struct {
        const char* option;
        bool keepGoing;
        const char* name;
    } cases[] = {{"--log", false, "m.log"},        {"--capture", false, "m.log"},
                 {"--log", true, "m.log"},         {"--pcapng", false, "m.pcapng"},
                 {"--capture", false, "m.pcapng"}, {"--pcapng", true, "m.pcapng"}};
    for (const auto& c : cases) {
        test::CSmallTmpfs disk(kDiskSize);
        SKIP_WITHOUT_TMPFS(disk);
        disk.FillLeaving(4096);
        const std::string file = disk.Path(c.name);
        const bool pcapng = IsPcapngPath(file);
        test::CRegisteredPty device(kPort);
        std::vector<std::string> args = {"monitor", "--port", kPortName,   "--gap", "3",
                                         c.option,  file,     "--seconds", "3"};
        if (c.keepGoing)
            args.push_back("--keep-going");
        test::CChildProcess monitor(BRIVOX_CLI, args, true);
        ASSERT_EQ(monitor.ReadLine().find("brivox-cli monitor: listening on "), 0u);
        SendFrames(device, 80);
        const int code = monitor.WaitAtMost(10000);
        const std::string out = monitor.Rest();
        EXPECT_EQ(code, 4) << c.option << "\n" << out;
        const std::string written = test::ReadTestFile(file);
        ASSERT_FALSE(written.empty()) << c.option;
        const int64_t records =
            pcapng ? WholePackets(file) : static_cast<int64_t>(LineCount(written));
        EXPECT_TRUE(pcapng || written.back() == '\n') << "no partial line at the end";
        EXPECT_EQ(LinesSaidWritten(out, file, pcapng ? "packet" : "line"), records) << out;
        const size_t frameLines = LineCount(out) - 2; // the message and the summary
        // Held up by ThreadSanitizer, a reader may take several frames in one read.
        if (c.keepGoing && !test::kFramesCutByTimeAreUnreliable) {
            EXPECT_GT(frameLines, static_cast<size_t>(records) + 20)
                << "monitoring went on: " << out;
        } else if (!c.keepGoing) {
            EXPECT_LT(frameLines, 80u) << "the monitor stopped at the failure: " << out;
        }
    }
}

TEST(FullDiskTest, RunAndTestSayTheirCaptureOrReportWasNotWritten) {
    test::CSmallTmpfs disk(kDiskSize);
    SKIP_WITHOUT_TMPFS(disk);
    const std::string report = disk.Path("report.xml");
    test::WriteTestFile(report, "an older report");
    const std::string cases = disk.Path("cases.txt");
    test::WriteTestFile(cases, "case a\ndetail 41 <4F 4B>\n");
    disk.FillLeaving(0);
    CDevsimProcess devsim({"--reply", "41=4F 4B", "--register", std::to_string(kPort)});

    const test::CCliRun run = test::RunCliCaptured(
        {"run", "--port", kPortName, "--capture", disk.Path("run.log"), "41 <4F 4B>"});
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_NE(run.out.find("result match"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("run.log: No space left on device: 0 lines written"), std::string::npos)
        << run.err;

    const test::CCliRun tested =
        test::RunCliCaptured({"test", cases, "--port", kPortName, "--junit", report});
    EXPECT_EQ(tested.code, 4) << tested.err;
    EXPECT_NE(tested.out.find("1 case: 1 passed"), std::string::npos) << tested.out;
    EXPECT_NE(tested.err.find("cannot write the report " + report + ": No space left on device"),
              std::string::npos)
        << tested.err;
    EXPECT_EQ(test::ReadTestFile(report), "an older report");
}

bool IsFifo(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

bool IsCharacterDevice(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// A report goes into a FIFO or a device as a stream; nothing is renamed over them, nor over the
// test file.
TEST(OutputPathTest, AReportIsWrittenIntoAFifoOrDeviceAndNeverReplacesThemOrTheInput) {
    const test::CTempFolder folder;
    const std::string cases = folder.Path("cases.txt");
    test::WriteTestFile(cases, "case a\ndetail 41 <4F 4B>\n");
    const std::string fifo = folder.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string null = folder.Path("null");
    if (mknod(null.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a character device here; needs root";
    CDevsimProcess devsim({"--reply", "41=4F 4B"});
    const auto Test = [&](const std::string& report) {
        return test::RunCliCaptured({"test", cases, "--port", devsim.Path(), "--junit", report});
    };

    test::CCliRun run = Test(fifo);
    EXPECT_EQ(run.code, 4);
    EXPECT_NE(run.err.find(fifo + ": a FIFO that no program reads"), std::string::npos) << run.err;
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    run = Test(fifo);
    EXPECT_EQ(run.code, 0) << run.err;
    char xml[4096];
    const ssize_t got = read(reader, xml, sizeof xml);
    close(reader);
    EXPECT_NE(std::string(xml, static_cast<size_t>(std::max<ssize_t>(got, 0))).find("<testsuites"),
              std::string::npos);
    EXPECT_TRUE(IsFifo(fifo));

    run = Test(null);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(IsCharacterDevice(null));

    run = Test(cases);
    EXPECT_EQ(run.code, 3);
    EXPECT_NE(run.err.find("--junit " + cases + " is the test file itself"), std::string::npos)
        << run.err;
    EXPECT_EQ(test::ReadTestFile(cases), "case a\ndetail 41 <4F 4B>\n");
}

// The report is larger than a pipe holds, so that the command is still writing it when the
// signals come.
TEST(StopSignalTest, TwoStopSignalsWhileTestWritesItsReportKeepItsExitStatus) {
    const test::CTempFolder folder;
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += "case " + std::string(10000, static_cast<char>('a' + i)) + "\ndetail 41 <4F 4B>\n";
    const std::string cases = folder.Path("cases.txt");
    test::WriteTestFile(cases, text);
    const std::string fifo = folder.Path("report");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    CDevsimProcess devsim({"--reply", "41=4F 4B"});
    test::CChildProcess cli(BRIVOX_CLI, {"test", cases, "--port", devsim.Path(), "--junit", fifo});
    for (int i = 0; i < 9; ++i)
        ASSERT_FALSE(cli.ReadLine().empty()) << "the results and the counts";
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // into the blocked write
    kill(cli.Pid(), SIGINT);
    kill(cli.Pid(), SIGTERM);
    fcntl(reader, F_SETFL, 0);
    char buffer[65536];
    while (read(reader, buffer, sizeof buffer) > 0) {
    }
    close(reader);
    EXPECT_EQ(cli.WaitAtMost(10000), 0);
}

TEST(StopSignalTest, CtrlCEndsTheWaitForADeviceThatIsNotThere) {
    test::CChildProcess monitor(
        BRIVOX_CLI, {"monitor", "--port", kPortName, "--reconnect", "--timeout", "60000"}, true);
    const std::string waiting = monitor.ReadLine();
    EXPECT_NE(waiting.find("; waiting up to 60000 ms for the device"), std::string::npos)
        << waiting;
    kill(monitor.Pid(), SIGINT);
    EXPECT_EQ(monitor.WaitAtMost(10000), 3);
    const std::string out = monitor.Rest();
    EXPECT_NE(out.find("(interrupted while waiting for the device)"), std::string::npos) << out;
}

} // namespace
} // namespace brivox
