// The serial port against brivox-devsim, run as its own process on a pseudo-terminal that it
// registers in this test's port map.
#include "brivox-devsim/ModbusLink.h"
#include "serial/PortMap.h"
#include "support/PortTestSupport.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;
using devsim::AsciiFrameOf;
using devsim::RtuFrameOf;

constexpr int kPort = 50;

// brivox-devsim as a child process; its first output line is the terminal's path.
class CDevsimProcess {
public:
    explicit CDevsimProcess(std::vector<std::string> args) {
        args.insert(args.begin(), BRIVOX_DEVSIM);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        EXPECT_EQ(posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
        m_path = ReadLine();
    }
    ~CDevsimProcess() {
        Stop();
        close(m_out);
    }

    const std::string& Path() const { return m_path; }

    // Ends the process as a user's Ctrl+C would; its exit code.
    int Stop() {
        if (m_pid <= 0)
            return m_status;
        kill(m_pid, SIGINT);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = 0;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_status;
    }

    // What the process printed after its first line, up to its end.
    std::string Rest() {
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = read(m_out, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(got));
        return text;
    }

private:
    std::string ReadLine() {
        std::string line;
        pollfd fd{m_out, POLLIN, 0};
        char c;
        while (poll(&fd, 1, 10000) > 0 && read(m_out, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    pid_t m_pid = 0;
    int m_status = -1;
    int m_out = -1;
    std::string m_path;
};

// A port on COM50 that sends a request and collects the answer.
class CExchangePort : public test::CRecordingPort {
public:
    CExchangePort() : CRecordingPort(kPort) { EXPECT_TRUE(Open()) << GetLastError(); }

    Bytes Ask(const Bytes& request, size_t replyLength) {
        chunks.clear();
        EXPECT_TRUE(Write(request.data(), request.size()));
        // Silence is checked by waiting a while for a byte that should not come.
        const size_t wanted = std::max<size_t>(replyLength, 1);
        test::RunEventsUntil([&] { return Received().size() >= wanted; },
                             replyLength == 0 ? 400 : 10000);
        return Received();
    }
};

TEST(DevsimPortTest, EchoesAndRemovesItsLinkOnExit) {
    CDevsimProcess devsim({"--echo", "--register", std::to_string(kPort)});
    ASSERT_EQ(devsim.Path().rfind("/dev/pts/", 0), 0u) << devsim.Path();
    CExchangePort port;
    const Bytes burst = test::PatternBytes(1000);
    EXPECT_EQ(port.Ask(burst, burst.size()), burst);

    EXPECT_EQ(devsim.Stop(), 0);
    EXPECT_TRUE(test::RunEventsUntil([&] { return port.lost == 1; }));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(ReadPortMap(PortMapFolder()).empty());
}

TEST(DevsimPortTest, RepliesByRuleAndLogsInHex) {
    CDevsimProcess devsim({"--reply", "05=06 00 10", "--reply", "01 02=AA", "--register",
                           std::to_string(kPort), "-v"});
    CExchangePort port;
    EXPECT_EQ(port.Ask({0x05}, 3), (Bytes{0x06, 0x00, 0x10}));
    EXPECT_EQ(port.Ask({0x01}, 0), Bytes{});
    EXPECT_EQ(port.Ask({0x02}, 1), Bytes{0xAA});
    EXPECT_EQ(port.Ask({0x07}, 0), Bytes{});
    devsim.Stop();
    EXPECT_EQ(devsim.Rest(), "RX 05\nTX 06 00 10\nRX 01 02\nTX AA\n");
}

struct CModbusCase {
    Bytes request; // address and PDU
    Bytes reply;   // empty: the slave stays silent
};

// Every function, an exception of each kind, a broadcast and a frame for another slave.
std::vector<CModbusCase> ModbusCases() {
    return {
        {{0x03, 0x01, 0x00, 0x00, 0x00, 0x0A}, {0x03, 0x01, 0x02, 0x49, 0x02}},
        {{0x03, 0x02, 0x00, 0x00, 0x00, 0x04}, {0x03, 0x02, 0x01, 0x05}},
        {{0x03, 0x03, 0x00, 0x0A, 0x00, 0x02}, {0x03, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x0B}},
        {{0x03, 0x04, 0x00, 0x01, 0x00, 0x01}, {0x03, 0x04, 0x02, 0x80, 0x01}},
        {{0x03, 0x05, 0x00, 0x01, 0xFF, 0x00}, {0x03, 0x05, 0x00, 0x01, 0xFF, 0x00}},
        {{0x03, 0x01, 0x00, 0x00, 0x00, 0x03}, {0x03, 0x01, 0x01, 0x03}},
        {{0x03, 0x06, 0x00, 0x0A, 0x12, 0x34}, {0x03, 0x06, 0x00, 0x0A, 0x12, 0x34}},
        {{0x03, 0x0F, 0x00, 0x00, 0x00, 0x03, 0x01, 0x06}, {0x03, 0x0F, 0x00, 0x00, 0x00, 0x03}},
        {{0x03, 0x01, 0x00, 0x00, 0x00, 0x03}, {0x03, 0x01, 0x01, 0x06}},
        {{0x03, 0x10, 0x00, 0x0B, 0x00, 0x01, 0x02, 0xAB, 0xCD},
         {0x03, 0x10, 0x00, 0x0B, 0x00, 0x01}},
        {{0x03, 0x03, 0x00, 0x0A, 0x00, 0x02}, {0x03, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD}},
        {{0x03, 0x08, 0x00, 0x00, 0x00, 0x00}, {0x03, 0x88, 0x01}},
        {{0x03, 0x03, 0x13, 0x88, 0x00, 0x01}, {0x03, 0x83, 0x02}},
        {{0x03, 0x05, 0x00, 0x00, 0x12, 0x34}, {0x03, 0x85, 0x03}},
        {{0x00, 0x06, 0x00, 0x0C, 0x00, 0x63}, {}},
        {{0x03, 0x03, 0x00, 0x0C, 0x00, 0x01}, {0x03, 0x03, 0x02, 0x00, 0x63}},
        {{0x04, 0x03, 0x00, 0x00, 0x00, 0x01}, {}},
    };
}

TEST(DevsimPortTest, ModbusRtuSlave) {
    CDevsimProcess devsim({"--modbus", "rtu", "--slave", "3", "--register", std::to_string(kPort)});
    CExchangePort port;
    for (const CModbusCase& c : ModbusCases()) {
        const Bytes expected = c.reply.empty() ? Bytes{} : RtuFrameOf(c.reply);
        EXPECT_EQ(port.Ask(RtuFrameOf(c.request), expected.size()), expected)
            << testing::PrintToString(c.request);
    }
    Bytes badCrc = RtuFrameOf({0x03, 0x03, 0x00, 0x00, 0x00, 0x01});
    badCrc.back() ^= 0xFF;
    EXPECT_EQ(port.Ask(badCrc, 0), Bytes{});
}

TEST(DevsimPortTest, ModbusAsciiSlave) {
    CDevsimProcess devsim(
        {"--modbus", "ascii", "--slave", "3", "--register", std::to_string(kPort)});
    CExchangePort port;
    for (const CModbusCase& c : ModbusCases()) {
        const Bytes expected = c.reply.empty() ? Bytes{} : AsciiFrameOf(c.reply);
        EXPECT_EQ(port.Ask(AsciiFrameOf(c.request), expected.size()), expected)
            << testing::PrintToString(c.request);
    }
    const std::string badLrc = ":030300000001F8\r\n";
    EXPECT_EQ(port.Ask({badLrc.begin(), badLrc.end()}, 0), Bytes{});
}

TEST(DevsimPortTest, ServesForTheGivenSeconds) {
    CDevsimProcess devsim({"--echo", "--seconds", "1", "--register", std::to_string(kPort)});
    CExchangePort port;
    EXPECT_EQ(port.Ask({0x42}, 1), Bytes{0x42});
    EXPECT_TRUE(test::RunEventsUntil([&] { return port.lost == 1; }));
    EXPECT_EQ(devsim.Stop(), 0);
}

} // namespace
} // namespace brivox
