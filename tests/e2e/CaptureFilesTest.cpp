// pcapng captures of brivox-cli read by Debian's tshark, two ports on one timeline fed by a
// Python writer, and a capture replayed into brivox-devsim.
#include "CliRun.h"
#include "capture/PcapngReader.h"
#include "support/ChildProcess.h"
#include "support/DevsimProcess.h"
#include "support/PortTestSupport.h"
#include "support/SchedulingSlack.h"
#include "support/TempFolder.h"
#include "support/TsharkRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace brivox {
namespace {

using test::CDevsimProcess;

constexpr int kPort = 61;
constexpr char kPortName[] = "COM61";

std::vector<QJsonObject> JsonLines(const std::string& text) {
    std::vector<QJsonObject> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] == '{')
            objects.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
    return objects;
}

int64_t Number(const QJsonObject& object, const char* name) {
    return static_cast<int64_t>(object.value(name).toDouble(-1));
}

TEST(CaptureFilesTest, TsharkDecodesTheMonitorsFramesAndTheRunsChunksAsModbusRtu) {
    const test::CTempFolder folder;
    CDevsimProcess devsim({"--modbus", "rtu", "--tap", "--register", std::to_string(kPort)});
    const std::string frames = folder.Path("frames.pcapng");
    const std::string chunks = folder.Path("chunks.pcapng");
    test::CChildProcess monitor(BRIVOX_CLI,
                                {"monitor", "--port", devsim.TapPath(), "--modbus", "rtu",
                                 "--pcapng", frames, "--seconds", "3"},
                                true);
    ASSERT_EQ(monitor.ReadLine().find("brivox-cli monitor: listening on "), 0u);
    for (const char* start : {"0000", "FFFF"}) {
        const test::CCliRun run = test::RunCliCaptured(
            {"run", "--port", kPortName, "--mode", "modbus-rtu", "--function", "03", "--slave", "1",
             "--start", start, "--length", "2", "--capture", chunks});
        EXPECT_NE(run.out.find("RX 01"), std::string::npos) << run.out << run.err;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(monitor.Wait(), 0);
    for (const std::string& file : {frames, chunks}) {
        const test::CTsharkRun run =
            test::RunTshark(file, {"-o", test::kUser0AsModbusRtu, "-Y", "modbus", "-T", "fields",
                                   "-e", "frame.interface_name", "-e", "modbus.func_code", "-e",
                                   "modbus.exception_code", "-e", "modbus.regval_uint16"});
        EXPECT_EQ(run.code, 0) << run.errors;
        EXPECT_EQ(run.errors, "");
        const std::string tap = devsim.TapPath() + " rx";
        const std::vector<std::string> expected =
            file == frames ? std::vector<std::string>{tap + "\t3\t\t", tap + "\t3\t\t0,1",
                                                      tap + "\t3\t\t", tap + "\t3\t2\t"}
                           : std::vector<std::string>{"COM61 tx\t3\t\t", "COM61 rx\t3\t\t0,1",
                                                      "COM61 tx\t3\t\t", "COM61 rx\t3\t2\t"};
        EXPECT_EQ(run.lines, expected) << file;
    }
}

TEST(CaptureFilesTest, AMonitorKilledWhileItWritesLeavesAFileReadToItsLastWholeBlock) {
    const test::CTempFolder folder;
    const std::string file = folder.Path("killed.pcapng");
    test::CRegisteredPty device(kPort);
    test::CChildProcess monitor(BRIVOX_CLI,
                                {"monitor", "--port", kPortName, "--gap", "1", "--pcapng", file,
                                 "--capture", file + ".chunks.pcapng"},
                                true);
    ASSERT_EQ(monitor.ReadLine().find("brivox-cli monitor: listening on "), 0u);
    for (int i = 0; i < 100; ++i) {
        device.Send(std::vector<uint8_t>(60, static_cast<uint8_t>(i)));
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    kill(monitor.Pid(), SIGKILL);
    monitor.Wait();
    // Chunks hold at most 128 bytes, so 6000 bytes make many whatever the timing; frames cut by
    // a 1 ms gap may merge when the reader is held up.
    const size_t leastFrames = test::kFramesCutByTimeAreUnreliable ? 1u : 10u;
    for (const std::string& path : {file, file + ".chunks.pcapng"}) {
        const size_t least = path == file ? leastFrames : 10u;
        CPcapngReader reader;
        ASSERT_EQ(reader.Open(path), "");
        reader.SkipToEnd();
        EXPECT_TRUE(reader.Problem().empty() || reader.Cut()) << reader.Problem();
        const test::CTsharkRun run = test::RunTshark(path, {"-T", "fields", "-e", "frame.len"});
        EXPECT_GE(run.lines.size(), least) << path;
        EXPECT_TRUE(run.errors.empty() || run.errors.find("cut short") != std::string::npos)
            << run.errors;
    }
}

// A FIFO the Python writer waits on: a line starts it, another ends it.
class CGoSignal {
public:
    explicit CGoSignal(std::string path) : m_path(std::move(path)) { mkfifo(m_path.c_str(), 0600); }
    ~CGoSignal() {
        if (m_fd >= 0)
            close(m_fd);
    }
    const std::string& Path() const { return m_path; }
    void Say() {
        if (m_fd < 0)
            m_fd = open(m_path.c_str(), O_WRONLY);
        EXPECT_EQ(write(m_fd, "\n", 1), 1);
    }

private:
    std::string m_path;
    int m_fd = -1;
};

TEST(CaptureFilesTest, TwoPortsOnOneTimelineInTimeOrderWithEachReplyTimedAfterItsRequest) {
    const test::CTempFolder folder;
    CGoSignal go(folder.Path("go"));
    test::CChildProcess writer("/usr/bin/python3",
                               {BRIVOX_E2E_SOURCE "/two_port_writer.py", go.Path()});
    std::istringstream paths(writer.ReadLine());
    std::string a, b;
    paths >> a >> b;
    const std::string file = folder.Path("link.pcapng");
    test::CChildProcess monitor(BRIVOX_CLI,
                                {"monitor", "--port", a, "--port", b, "--gap", "20", "--modbus",
                                 "rtu", "--format", "jsonl", "--pcapng", file, "--seconds", "2"},
                                true);
    ASSERT_EQ(monitor.ReadLine(),
              "brivox-cli monitor: listening on " + a + " and " + b +
                  " at 115200,N,8,1, a frame ends after 20.000 ms of quiet; Ctrl+C ends");
    go.Say();
    std::string writes;
    for (int i = 0; i < 10; ++i)
        writes += writer.ReadLine() + "\n";
    const std::vector<QJsonObject> written = JsonLines(writes);
    EXPECT_EQ(monitor.Wait(), 0);
    go.Say();
    std::vector<QJsonObject> seen = JsonLines(monitor.Rest());
    ASSERT_EQ(written.size(), 10u);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().value("summary").toObject().value("bytes").toInt(), 20 + 4 + 4 * (8 + 9));
    if (test::kFramesCutByTimeAreUnreliable)
        return;
    ASSERT_EQ(seen.size(), 11u); // and the summary
    // Bounds for a loaded machine, where the writer itself may be held up between its clock and
    // its write; bench_capture measures how close the times really are.
    constexpr int64_t kSlackUs = 100000;
    int64_t requestUs = 0;
    for (size_t i = 0; i < written.size(); ++i) {
        const std::string port = written[i].value("port").toString() == "A" ? a : b;
        EXPECT_EQ(seen[i].value("port").toString().toStdString(), port) << i;
        EXPECT_EQ(seen[i].value("length").toInt(), written[i].value("length").toInt()) << i;
        const int64_t lateUs = Number(seen[i], "steady_us") - Number(written[i], "us");
        EXPECT_TRUE(lateUs >= 0 && lateUs < kSlackUs) << i << ": " << lateUs << " us";
        if (i >= 2 && port == a)
            requestUs = Number(written[i], "us");
        if (i >= 2 && port == b) {
            const int64_t errorUs =
                Number(seen[i], "reply_us") - (Number(written[i], "us") - requestUs);
            EXPECT_LT(std::abs(errorUs), kSlackUs) << i;
            EXPECT_EQ(seen[i].value("request_port").toString().toStdString(), a);
        }
    }
    EXPECT_EQ(seen.back().value("summary").toObject().value("replies").toInt(), 4);
    const test::CTsharkRun run = test::RunTshark(
        file, {"-o", test::kUser0AsModbusRtu, "-T", "fields", "-e", "frame.interface_name"});
    EXPECT_EQ(run.code, 0) << run.errors;
    ASSERT_EQ(run.lines.size(), 10u);
    EXPECT_EQ(run.lines[0], a + " rx");
    EXPECT_EQ(run.lines[1], b + " rx");
}

TEST(CaptureFilesTest, AReplayedCaptureReproducesItsFramesAndTheirGaps) {
    const test::CTempFolder folder;
    const std::string recorded = folder.Path("recorded.pcapng");
    {
        test::CRegisteredPty device(kPort);
        test::CChildProcess monitor(
            BRIVOX_CLI,
            {"monitor", "--port", kPortName, "--gap", "5", "--pcapng", recorded, "--seconds", "2"},
            true);
        ASSERT_EQ(monitor.ReadLine().find("brivox-cli monitor: listening on "), 0u);
        for (const int pauseMs : {30, 60, 90, 40}) {
            device.Send(std::vector<uint8_t>(static_cast<size_t>(pauseMs / 10), 0x41));
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
        EXPECT_EQ(monitor.Wait(), 0);
    }
    CDevsimProcess devsim({"--reply", "FEFE=00", "--tap", "--register", std::to_string(kPort)});
    for (const char* speed : {"1", "max"}) {
        test::CChildProcess monitor(BRIVOX_CLI,
                                    {"monitor", "--port", devsim.TapPath(), "--gap", "5",
                                     "--format", "jsonl", "--seconds", "2"},
                                    true);
        ASSERT_EQ(monitor.ReadLine().find("brivox-cli monitor: listening on "), 0u);
        const test::CCliRun replay =
            test::RunCliCaptured({"replay", recorded, "--port", kPortName, "--speed", speed});
        EXPECT_EQ(replay.code, 0) << replay.err;
        EXPECT_NE(replay.out.find(" packets (22 bytes) of "), std::string::npos) << replay.out;
        EXPECT_EQ(monitor.Wait(), 0);
        const std::vector<QJsonObject> frames = JsonLines(monitor.Rest());
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back().value("summary").toObject().value("bytes").toInt(), 22) << speed;
        if (test::kFramesCutByTimeAreUnreliable)
            continue;
        EXPECT_EQ(replay.out.find("replayed 4 packets (22 bytes) of 4 in "), 0u) << replay.out;
        if (std::string(speed) != "1")
            continue;
        ASSERT_EQ(frames.size(), 5u);
        const int64_t gapsUs[] = {30000, 60000, 90000};
        for (size_t i = 1; i < 4; ++i)
            EXPECT_LT(std::abs(Number(frames[i], "gap_us") - gapsUs[i - 1]), 15000) << i;
    }
    const test::CCliRun refused =
        test::RunCliCaptured({"replay", folder.Path("none.pcapng"), "--port", kPortName});
    EXPECT_EQ(refused.code, 3);
    EXPECT_NE(refused.err.find("none.pcapng: No such file or directory"), std::string::npos);
}

} // namespace
} // namespace brivox
