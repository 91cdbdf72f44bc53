// The port's switches for the field against brivox-devsim: an RS-485 adapter's echo, the capture
// log of brivox-cli run, and a simulator that is killed and started again.
#include "CliRun.h"
#include "serial/CaptureLog.h"
#include "serial/PortMap.h"
#include "support/ChildProcess.h"
#include "support/DevsimProcess.h"
#include "support/LoopbackListener.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/socket.h>
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

// The monitor's lines up to the one that holds the text, or all it printed until it went quiet.
std::string LinesUpTo(test::CChildProcess& monitor, const std::string& text) {
    std::string lines;
    for (std::string line; (line = monitor.ReadLine()) != "";) {
        lines += line + "\n";
        if (line.find(text) != std::string::npos)
            break;
    }
    return lines;
}

// A simulator killed outright and started again, and a serial server that closes the
// connection and takes it again, each in text and in JSONL.
TEST(FieldSwitchesTest, AMonitorSaysWhenADevsimOrASerialServerWentAndCameBack) {
    int serverPort = 0;
    const int listener = test::ListenOnLoopback(4, serverPort);
    ASSERT_GE(listener, 0);
    for (const bool server : {false, true}) {
        for (const bool jsonl : {false, true}) {
            SCOPED_TRACE(std::string(server ? "server" : "devsim") +
                         (jsonl ? ", jsonl" : ", text"));
            std::unique_ptr<CDevsimProcess> devsim;
            if (server)
                ASSERT_EQ(RegisterPort(PortMapFolder(), kPort,
                                       "tcp://127.0.0.1:" + std::to_string(serverPort)),
                          "");
            else
                devsim = std::make_unique<CDevsimProcess>(
                    std::vector<std::string>{"--echo", "--register", std::to_string(kPort)});
            test::CChildProcess monitor(BRIVOX_CLI,
                                        {"monitor", "--port", kPortName, "--reconnect", "--format",
                                         jsonl ? "jsonl" : "text"},
                                        true);
            const int connection = server ? accept(listener, nullptr, nullptr) : -1;
            const std::string opened = LinesUpTo(monitor, "listening on ");
            ASSERT_NE(opened.find("listening on "), std::string::npos) << opened;
            if (server) {
                close(connection);
            } else {
                kill(devsim->Pid(), SIGKILL);
                devsim.reset();
                devsim = std::make_unique<CDevsimProcess>(
                    std::vector<std::string>{"--echo", "--register", std::to_string(kPort)});
            }
            const int again = server ? accept(listener, nullptr, nullptr) : -1;
            const std::string back = jsonl ? "{\"event\":\"back\"," : "  device back after ";
            const std::string lines = LinesUpTo(monitor, back);
            EXPECT_NE(lines.find(jsonl ? "{\"event\":\"lost\"," : "  device lost: COM54"),
                      std::string::npos)
                << lines;
            EXPECT_NE(lines.find(back), std::string::npos) << lines;
            EXPECT_EQ(monitor.Stop(), 0);
            EXPECT_NE(monitor.Rest().find(jsonl ? "\"outages\":1}" : ", 1 outage"),
                      std::string::npos);
            if (again >= 0)
                close(again);
        }
    }
    close(listener);
}

} // namespace
} // namespace brivox
