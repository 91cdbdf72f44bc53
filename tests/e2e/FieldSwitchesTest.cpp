// The port's switches for the field against brivox-devsim: an RS-485 adapter's echo, the capture
// log of brivox-cli run, and a simulator that is killed and started again.
#include "CliRun.h"
#include "support/ChildProcess.h"
#include "support/DevsimProcess.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <ctime>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace brivox {
namespace {

using test::CDevsimProcess;

constexpr int kPort = 54;
constexpr char kPortName[] = "COM54";

// What a run printed goes to out, its errors included.
test::CCliRun RunOnPort(std::vector<std::string> args) {
    args.insert(args.begin(), {"run", "--port", kPortName});
    test::CCliRun run = test::RunCliCaptured(args);
    run.out += run.err;
    return run;
}

TEST(FieldSwitchesTest, WithTheEchoIgnoredDetailAndModbusRtuMatchOverAnEchoingLine) {
    const struct {
        std::vector<std::string> device;
        std::vector<std::string> request;
        const char* matched;
    } cases[] = {
        {{"--reply", "05=06 00 10"}, {"05 <06 00 10>"}, "result match"},
        {{"--modbus", "rtu"},
         {"--mode", "modbus-rtu", "--slave", "1", "--function", "03", "--start", "0010", "--length",
          "2"},
         "result ok"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> device = c.device;
        device.insert(device.end(), {"--rs485-echo", "--register", std::to_string(kPort)});
        CDevsimProcess devsim(device);
        std::vector<std::string> ignoring = c.request;
        ignoring.insert(ignoring.begin(), "--ignore-echo");
        const test::CCliRun suppressed = RunOnPort(ignoring);
        EXPECT_EQ(suppressed.code, 0) << suppressed.out;
        EXPECT_NE(suppressed.out.find(c.matched), std::string::npos) << suppressed.out;
        const test::CCliRun plain = RunOnPort(c.request);
        EXPECT_EQ(plain.code, 1) << plain.out;
        EXPECT_NE(plain.out.find("result mismatch"), std::string::npos) << plain.out;
    }
}

TEST(FieldSwitchesTest, CaptureOfARunHoldsItsTrafficAndSurvivesAKill) {
    test::CTempFolder folder;
    CDevsimProcess devsim({"--reply", "41=4F 4B", "--register", std::to_string(kPort)});
    const std::string path = folder.Path("run.log");
    const test::CCliRun run = RunOnPort({"--capture", path, "41 <4F 4B>"});
    EXPECT_EQ(run.code, 0) << run.out;
    std::string text = test::ReadTestFile(path);
    ASSERT_EQ(text.size(), 2 * 24 + 26) << text;
    EXPECT_EQ(text.substr(24, 11), "TX 41  |A|\n");
    EXPECT_EQ(text.substr(24 + 11 + 24), "RX 4F 4B  |OK|\n");
    const uint8_t marked[] = {0x00, 0x41};
    const uint8_t marks[] = {1, 0};
    EXPECT_EQ(CCaptureLog::Line({}, CCaptureLog::Direction::Rx, marked, marks, 2).substr(23),
              " RX 00! 41  |.A|\n");

    // A run that waits for an answer that never comes, killed while it waits.
    const std::string killed = folder.Path("killed.log");
    test::CChildProcess cli(BRIVOX_CLI, {"run", "--port", kPortName, "--timeout", "20000",
                                         "--capture", killed, "42 43 <44>"});
    ASSERT_TRUE(test::RunEventsUntil(
        [&] { return test::ReadTestFile(killed).find('\n') != std::string::npos; }, 10000));
    kill(cli.Pid(), SIGKILL);
    cli.Wait();
    text = test::ReadTestFile(killed);
    ASSERT_EQ(text.size(), 24 + 15u) << text;
    EXPECT_EQ(text.substr(24), "TX 42 43  |BC|\n");
}

class CReopenCountingPort : public test::CRecordingPort {
public:
    CReopenCountingPort() : CRecordingPort(kPort) {}
    int reopened = 0;

protected:
    void OnPortReopened() override { ++reopened; }
};

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Killed outright, the simulator leaves its port-map link dangling; started again it makes the
// link anew on another pseudo-terminal, and the port follows.
TEST(FieldSwitchesTest, ADevsimKilledAndStartedAgainIsReopenedUnderItsPortMapName) {
    auto devsim = std::make_unique<CDevsimProcess>(
        std::vector<std::string>{"--echo", "--register", std::to_string(kPort)});
    const std::string firstPath = devsim->Path();
    CReopenCountingPort port;
    port.SetReconnect(true);
    ASSERT_TRUE(port.Open()) << port.GetLastError();
    kill(devsim->Pid(), SIGKILL);
    ASSERT_TRUE(test::RunEventsUntil([&] { return port.lost == 1; }));
    devsim.reset();

    // The event loop itself, which sleeps until an event comes.
    const double cpuBefore = ProcessCpuMs();
    QEventLoop idle;
    QTimer::singleShot(1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double idleCpuMs = ProcessCpuMs() - cpuBefore;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.IsWaitingForDevice());

    const auto started = std::chrono::steady_clock::now();
    devsim = std::make_unique<CDevsimProcess>(
        std::vector<std::string>{"--echo", "--register", std::to_string(kPort)});
    ASSERT_TRUE(test::RunEventsUntil([&] { return port.IsOpen(); }, 5000));
    const auto reopenMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started)
                              .count();
    std::printf("reopened %lld ms after the simulator started; %.1f ms of CPU in 1 s of waiting\n",
                static_cast<long long>(reopenMs), idleCpuMs);
    EXPECT_NE(devsim->Path(), "") << firstPath;
    EXPECT_EQ(port.reopened, 1);
    const std::vector<uint8_t> hello = {'h', 'i'};
    ASSERT_TRUE(port.Write(hello.data(), hello.size()));
    ASSERT_TRUE(test::RunEventsUntil([&] { return port.Received().size() >= 2; }));
    EXPECT_EQ(port.Received(), hello);
}

// Writes 20 bytes every 10 ms, 2 KB/s, for the time given.
void Stream(test::CRegisteredPty& device, std::chrono::milliseconds length) {
    const auto end = std::chrono::steady_clock::now() + length;
    while (std::chrono::steady_clock::now() < end) {
        device.Send(std::vector<uint8_t>(20, 'x'));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The time a monitor line begins with, as text that sorts as the times do.
std::string TimeOfLine(const std::string& line, bool jsonl) {
    const size_t at = jsonl ? line.find("\"time\":\"") : 0;
    return at == std::string::npos ? "" : line.substr(jsonl ? at + 8 : 0, 26);
}

std::string WallNow(bool utc) {
    const time_t now = time(nullptr);
    tm parts{};
    if (utc)
        gmtime_r(&now, &parts);
    else
        localtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// A device that streams, goes away and comes back under the same number: the monitor says when
// it went and came back, and every frame keeps the time its bytes came, in order.
TEST(FieldSwitchesTest, AMonitorWithReconnectSaysWhenTheDeviceWentAndCameBack) {
    for (const bool jsonl : {false, true}) {
        auto device = std::make_unique<test::CRegisteredPty>(kPort);
        const std::string before = WallNow(jsonl);
        test::CChildProcess monitor(BRIVOX_CLI,
                                    {"monitor", "--port", kPortName, "--reconnect", "--gap", "3",
                                     "--format", jsonl ? "jsonl" : "text"},
                                    true);
        const std::string listening = monitor.ReadLine();
        ASSERT_EQ(listening.find("brivox-cli monitor: listening on "), 0u) << listening;
        Stream(*device, std::chrono::milliseconds(1000));
        device.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        device = std::make_unique<test::CRegisteredPty>(kPort);
        // What comes before the monitor has reopened is not its to see.
        Stream(*device, std::chrono::milliseconds(1500));
        EXPECT_EQ(monitor.Stop(), 0);
        const std::string after = WallNow(jsonl);
        std::vector<std::string> lines;
        std::istringstream in(monitor.Rest());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        ASSERT_GE(lines.size(), 4u);
        const auto lost = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(jsonl ? "{\"event\":\"lost\"" : "  device lost: ") !=
                   std::string::npos;
        });
        const auto back = std::find_if(lost, lines.end(), [&](const std::string& line) {
            return line.find(jsonl ? "{\"event\":\"back\"" : "  device back after ") !=
                   std::string::npos;
        });
        ASSERT_NE(back, lines.end()) << monitor.Rest();
        EXPECT_GT(lost - lines.begin(), 10) << "frames before the loss";
        EXPECT_GT(lines.end() - back, 10) << "frames after the return";
        EXPECT_NE(lines.back().find(jsonl ? "\"outages\":1}" : ", 1 outage"), std::string::npos)
            << lines.back();
        std::string previous = before;
        for (auto line = lines.begin(); line + 1 != lines.end(); ++line) {
            const std::string time = TimeOfLine(*line, jsonl);
            EXPECT_GE(time.substr(0, 19), previous.substr(0, 19)) << *line;
            EXPECT_LE(time.substr(0, 19), after) << *line;
            EXPECT_EQ(line->find(jsonl ? "\"gap_us\":0," : "gap     0.000 ms"), std::string::npos)
                << *line;
            previous = time;
        }
    }
}

} // namespace
} // namespace brivox
