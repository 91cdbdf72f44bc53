// brivox-cli monitor, test and loopback against brivox-devsim on pseudo-terminals.
#include "CliRun.h"
#include "modbus/ModbusFrame.h"
#include "platform/FileIO.h"
#include "support/ChildProcess.h"
#include "support/DevsimProcess.h"
#include "support/SchedulingSlack.h"
#include "support/TempFolder.h"
#include "util/Text.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;
using test::CDevsimProcess;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Frames written to the device one after another, a pause after each.
void WriteFrames(const std::string& path, const std::vector<Bytes>& frames) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    for (const Bytes& frame : frames) {
        EXPECT_EQ(write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
    }
    close(fd);
}

// brivox-cli monitor with args (it must end by --seconds), fed the frames once it listens: its
// exit code and what it printed after its "listening" line.
test::CCliRun MonitorWhileWriting(const CDevsimProcess& devsim,
                                  const std::vector<std::string>& args,
                                  const std::vector<Bytes>& frames) {
    test::CChildProcess monitor(BRIVOX_CLI, args, true);
    const std::string listening = monitor.ReadLine();
    EXPECT_EQ(listening.find("brivox-cli monitor: listening on "), 0u) << listening;
    WriteFrames(devsim.Path(), frames);
    const std::string out = monitor.Rest();
    return {monitor.Wait(), out, listening};
}

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i % 0x7F);
    return bytes;
}

TEST(MonitorCommandTest, FramesSplitAtGapsNeverInsideAFrame) {
    CDevsimProcess devsim({"--reply", "FF=00", "--tap"});
    const test::CTempFolder folder;
    const std::string log = folder.Path("monitor.log");
    const test::CCliRun run =
        MonitorWhileWriting(devsim,
                            {"monitor", "--port", devsim.TapPath(), "--gap", "30", "--format",
                             "jsonl", "--log", log, "--seconds", "4"},
                            {Pattern(1), Pattern(300), Pattern(700), Pattern(2)});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("\"bytes\":1003,"), std::string::npos) << lines.back();
    std::string logged;
    ASSERT_TRUE(ReadWholeFile(log, logged));
    EXPECT_EQ(logged, run.out);
    // The simulated device itself may read two frames at once when it is held up.
    if (test::kFramesCutByTimeAreUnreliable)
        return;
    ASSERT_EQ(lines.size(), 5u) << run.out;
    const char* lengths[] = {"\"length\":1,", "\"length\":300,", "\"length\":700,",
                             "\"length\":2,"};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NE(lines[i].find(lengths[i]), std::string::npos) << lines[i];
    EXPECT_NE(lines[0].find("\"gap_us\":null"), std::string::npos) << lines[0];
    EXPECT_NE(lines[4].find("{\"summary\":{\"frames\":4,\"bytes\":1003,"), std::string::npos);
}

// The CRC's high byte, or the LRC's last digit, changed.
TEST(MonitorCommandTest, CtrlCEndsWithTheSummaryAndLosesNoLineOfTheLog) {
    CDevsimProcess devsim({"--reply", "FF=00", "--tap"});
    const test::CTempFolder folder;
    const std::string log = folder.Path("monitor.log");
    ASSERT_EQ(WriteWholeFile(log, "earlier line\n"), FileWriteError::None);
    test::CChildProcess monitor(BRIVOX_CLI, {"monitor", "--port", devsim.TapPath(), "--log", log},
                                true);
    EXPECT_EQ(monitor.ReadLine().find("brivox-cli monitor: listening on "), 0u);
    WriteFrames(devsim.Path(), {Pattern(3), Pattern(40), Pattern(5)});
    EXPECT_EQ(monitor.Stop(), 0);
    const std::string out = monitor.Rest();
    const std::vector<std::string> lines = Lines(out);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(" frames, 48 bytes, "), std::string::npos) << lines.back();
    std::string logged;
    ASSERT_TRUE(ReadWholeFile(log, logged));
    EXPECT_EQ(logged, "earlier line\n" + out);
    // The simulated device itself may read two frames at once when it is held up.
    if (test::kFramesCutByTimeAreUnreliable)
        return;
    ASSERT_EQ(lines.size(), 4u) << out;
    EXPECT_NE(lines[1].find("  40 bytes  00 01 02"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[3].find("summary: 3 frames, 48 bytes, shortest gap "), 0u) << lines[3];
}

Bytes Spoiled(Bytes frame, bool ascii) {
    uint8_t& checkByte = frame[frame.size() - (ascii ? 3 : 1)];
    checkByte = ascii ? (checkByte == '0' ? '1' : '0') : checkByte ^ 1;
    return frame;
}

TEST(MonitorCommandTest, DecodesRequestsAndRepliesOfEveryFunctionInRtuAndAscii) {
    const std::vector<Bytes> requests = {
        {1, 0x01, 0x00, 0x00, 0x00, 0x0A},
        {1, 0x02, 0x00, 0x00, 0x00, 0x0A},
        {1, 0x03, 0x00, 0x00, 0x00, 0x02},
        {1, 0x04, 0x00, 0x00, 0x00, 0x02},
        {1, 0x05, 0x00, 0x01, 0xFF, 0x00},
        {1, 0x06, 0x00, 0x02, 0x12, 0x34},
        {1, 0x0F, 0x00, 0x00, 0x00, 0x0A, 0x02, 0xCD, 0x01},
        {1, 0x10, 0x00, 0x00, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02},
        {1, 0x03, 0xFF, 0xFF, 0x00, 0x0A},
    };
    // One per frame, in order; the spoiled request gets no reply.
    const std::vector<std::string> expected = {
        "request 01 read coils: start 0000 quantity 10;",
        "reply 01 read coils: byte count 2 coils 1 0 0 1 0 0 1 0 0 1;",
        "request 02 read discrete inputs: start 0000 quantity 10;",
        "reply 02 read discrete inputs: byte count 2 inputs",
        "request 03 read holding registers: start 0000 quantity 2;",
        "reply 03 read holding registers: byte count 4 registers 0000 0001;",
        "request 04 read input registers: start 0000 quantity 2;",
        "reply 04 read input registers: byte count 4 registers 8000 8001;",
        "request 05 write single coil: address 0001 value FF00;",
        "reply 05 write single coil: address 0001 value FF00;",
        "request 06 write single register: address 0002 value 1234;",
        "reply 06 write single register: address 0002 value 1234;",
        "request 0F write multiple coils: start 0000 quantity 10 byte count 2 coils 1 0 1 1 0 0 "
        "1 1 1 0;",
        "reply 0F write multiple coils: start 0000 quantity 10;",
        "request 10 write multiple registers: start 0000 quantity 2 byte count 4 registers 000A "
        "0102;",
        "reply 10 write multiple registers: start 0000 quantity 2;",
        "request 03 read holding registers: start FFFF quantity 10;",
        "exception 83 read holding registers: code 02 illegal data address;",
        "request 03 read holding registers: start 0000 quantity 2; bad",
    };
    for (const bool ascii : {false, true}) {
        const char* framing = ascii ? "ascii" : "rtu";
        std::vector<Bytes> frames;
        for (const Bytes& adu : requests)
            frames.push_back(ascii ? AsciiFrameOf(adu) : RtuFrameOf(adu));
        frames.push_back(Spoiled(frames[2], ascii));
        CDevsimProcess devsim({"--modbus", framing, "--tap"});
        const test::CCliRun run = MonitorWhileWriting(
            devsim, {"monitor", "--port", devsim.TapPath(), "--modbus", framing, "--seconds", "4"},
            frames);
        ASSERT_EQ(run.code, 0) << run.err;
        const std::vector<std::string> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), expected.size() + 1) << framing << "\n" << run.out;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NE(lines[i].find("slave 1 " + expected[i]), std::string::npos) << lines[i];
            const bool good = i + 1 < expected.size();
            EXPECT_EQ(lines[i].find(ascii ? "LRC ok" : "CRC ok") != std::string::npos, good)
                << lines[i];
        }
        EXPECT_NE(lines.back().find("19 frames"), std::string::npos) << lines.back();
        EXPECT_NE(lines.back().find(", 1 bad checksums,"), std::string::npos) << lines.back();
    }
}

// "intact N, lost N, corrupt N, extra N" and "sent N bytes" of the figures.
int64_t Figure(const std::string& out, const std::string& name) {
    const size_t at = out.find(name + " ");
    return at == std::string::npos ? -1 : std::stoll(out.substr(at + name.size() + 1));
}

TEST(LoopbackCommandTest, CountsWhatTheLineLosesOrSpoils) {
    const struct {
        std::vector<std::string> fault;
        int code;
        int lostEvery;    // 0: nothing lost
        int corruptEvery; // 0: nothing corrupt
    } cases[] = {
        {{}, 0, 0, 0},
        {{"--drop-every", "1000"}, 1, 1000, 0},
        {{"--corrupt-every", "700"}, 1, 0, 700},
    };
    for (const auto& c : cases) {
        std::vector<std::string> device = {"--echo"};
        device.insert(device.end(), c.fault.begin(), c.fault.end());
        CDevsimProcess devsim(device);
        const test::CCliRun run =
            test::RunCliCaptured({"loopback", "--port", devsim.Path(), "--seconds", "1"});
        EXPECT_EQ(run.code, c.code) << run.out << run.err;
        const int64_t sent = Figure(run.out, "sent");
        ASSERT_GE(sent, 1024) << run.out;
        const auto share = [sent](int every) { return every == 0 ? 0 : sent / every; };
        // The last block's bytes may still be in the device when the count ends.
        EXPECT_NEAR(Figure(run.out, "lost"), share(c.lostEvery), 2) << run.out;
        EXPECT_NEAR(Figure(run.out, "corrupt"), share(c.corruptEvery), 2) << run.out;
        EXPECT_EQ(Figure(run.out, "extra"), 0) << run.out;
        EXPECT_EQ(Figure(run.out, "intact") + Figure(run.out, "lost") + Figure(run.out, "corrupt"),
                  sent);
    }
}

std::string WriteCases(const test::CTempFolder& folder, const std::string& text) {
    const std::string path = folder.Path("device-tests.txt");
    EXPECT_EQ(WriteWholeFile(path, text), FileWriteError::None);
    return path;
}

TEST(TestCommandTest, PassingFailingAndTimingOutCases) {
    const test::CTempFolder folder;
    const std::string file =
        WriteCases(folder, "case reads\n"
                           "modbus rtu --function 03 --slave 1 --start 0000 --length 2\n"
                           "expect 0000 0001\n"
                           "repeat 3\n"
                           "case wrong value\n"
                           "modbus rtu --function 03 --slave 1 --start 0000 --length 2\n"
                           "expect 0000 0002\n"
                           "case silent slave\n"
                           "modbus rtu --function 03 --slave 9 --length 1\n"
                           "timeout 200\n"
                           "case raw\n"
                           "detail 01 03 00 00 00 01 84 0A <01 03 02 00 00 B8 44>\n");
    CDevsimProcess devsim({"--modbus", "rtu"});
    const test::CCliRun run = test::RunCliCaptured({"test", file, "--port", devsim.Path()});
    EXPECT_EQ(run.code, 1) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 8u) << run.out;
    EXPECT_EQ(lines[0].find("PASS reads (3 runs, "), 0u) << run.out;
    EXPECT_EQ(lines[6].find("PASS raw (1 run, "), 0u) << run.out;
    EXPECT_EQ(lines, (std::vector<std::string>{
                         lines[0],
                         "FAIL wrong value (line 5): the reply differs",
                         "    expected 01 03 04 00 00 00 02 7B F2",
                         "    received 01 03 04 00 00 00 01 3B F3",
                         "                               ^^ ^^ ^^",
                         "TIMEOUT silent slave (line 8): timed out: the line was quiet for 200 ms",
                         lines[6],
                         "4 cases: 2 passed, 1 failed, 1 timed out",
                     }))
        << run.out;
}

TEST(TestCommandTest, FileAndPortErrorsExitWithThree) {
    CDevsimProcess devsim({"--modbus", "rtu"});
    const struct {
        std::string text;
        std::string port;
        const char* err;
    } cases[] = {
        {"case a\ndetail 41\n\ncase b\nmodbus rtu --function 07\n", devsim.Path(),
         "line 5: --function takes one of"},
        {"case a\nexpect 0001\n", devsim.Path(), "line 2: expect goes after a modbus line"},
        {"case a\ndetail 41\n", "/dev/null", "Cannot open"},
        // Files from other editors, and lines that would act on a terminal if quoted as they are.
        {"\xEF\xBB\xBF"
         "case a\ndetail 41\n",
         "/dev/null", "Cannot open"},
        {std::string("\xFF\xFE"
                     "c\0a\0",
                     6),
         "/dev/null", "UTF-16 text: save the file as UTF-8"},
        {std::string("c\0a\0s\0e\0", 8), "/dev/null", "UTF-16 text: save the file as UTF-8"},
        {"case a\n\x1b]0;title\x07\x1b[2J\n", "/dev/null",
         "line 2: unknown line \"\\x1b]0;title\\x07\\x1b[2J\""},
        {std::string("case a\nde\0tail 41\n", 18), "/dev/null", "unknown line \"de\\x00tail\""},
        {"case a\ndetail\n", "/dev/null", "line 2: syntax error at column 6: "},
    };
    const test::CTempFolder folder;
    for (const auto& c : cases) {
        const test::CCliRun run =
            test::RunCliCaptured({"test", WriteCases(folder, c.text), "--port", c.port});
        EXPECT_EQ(run.code, 3) << c.text;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(std::count_if(run.err.begin(), run.err.end(), IsTerminalControl), 0) << run.err;
    }
    const std::string large = folder.Path("large.txt");
    test::WriteTestFile(large, "");
    ASSERT_EQ(truncate(large.c_str(), (int64_t{16} << 20) + 1), 0); // sparse
    const test::CCliRun run = test::RunCliCaptured({"test", large, "--port", "/dev/null"});
    EXPECT_EQ(run.code, 3);
    EXPECT_NE(run.err.find("large.txt: larger than 16 MiB"), std::string::npos) << run.err;
}

TEST(RespondCommandTest, ABadRulesFileOrPortExitsWithThreeAndSaysWhere) {
    const test::CTempFolder folder;
    const std::string bad = folder.Path("bad.rules");
    test::WriteTestFile(bad, "rule a\nmatch 01\nanswer $2\n");
    const std::string good = folder.Path("good.rules");
    test::WriteTestFile(good, "rule a\nmatch 01\nanswer 06\n");
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"respond", "--port", "/dev/null"}, "give --rules FILE"},
        {{"respond", "--port", "/dev/null", "--rules", bad},
         bad + ": line 1: rule a answers $2, but its match may take only 1 bytes"},
        {{"respond", "--port", "/dev/null", "--rules", folder.Path("none")}, "no such file"},
        {{"respond", "--port", "/dev/null", "--rules", good}, "Cannot open"},
    };
    for (const auto& c : cases) {
        const test::CCliRun run = test::RunCliCaptured(c.args);
        EXPECT_EQ(run.code, 3) << c.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
}

TEST(TestCommandTest, CtrlCEndsTheRunningCaseAndStillWritesTheReport) {
    const test::CTempFolder folder;
    const std::string file =
        WriteCases(folder, "case reads\n"
                           "modbus rtu --function 03 --slave 1 --start 0000 --length 1\n"
                           "case silent slave\n"
                           "modbus rtu --function 03 --slave 9 --length 1\n"
                           "timeout 60000\n"
                           "case never\n"
                           "detail 41\n");
    const std::string report = folder.Path("report.xml");
    CDevsimProcess devsim({"--modbus", "rtu"});
    test::CChildProcess cli(BRIVOX_CLI, {"test", file, "--port", devsim.Path(), "--junit", report});
    const std::string first = cli.ReadLine();
    EXPECT_EQ(first.find("PASS reads"), 0u) << first;
    EXPECT_EQ(cli.Stop(), 1);
    EXPECT_EQ(Lines(cli.Rest()), (std::vector<std::string>{
                                     "NOT RUN silent slave (line 3): interrupted",
                                     "3 cases: 1 passed, 0 failed, 0 timed out, 2 not run",
                                 }));
    std::string xml;
    ASSERT_TRUE(ReadWholeFile(report, xml));
    EXPECT_NE(xml.find("tests=\"3\" failures=\"0\" errors=\"0\" skipped=\"2\""), std::string::npos)
        << xml;
}

} // namespace
} // namespace brivox
