// The serial port against brivox-devsim, run as its own process on a pseudo-terminal that it
// registers in this test's port map.
#include "brivox-devsim/ModbusLink.h"
#include "modbus/ModbusFrame.h"
#include "serial/PortDiscovery.h"
#include "support/DevsimProcess.h"
#include "support/PortTestSupport.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;
using test::CDevsimProcess;

constexpr int kPort = 50;

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

int FirstFreeNumber() {
    const std::vector<CPortEntry> ports = DiscoverPortTable();
    int number = 1;
    while (std::any_of(ports.begin(), ports.end(),
                       [&](const CPortEntry& e) { return e.number == number; }))
        ++number;
    return number;
}

TEST(DevsimPortTest, AKilledSimulatorsLinkReachesNothingAndItsNumberIsFreeAgain) {
    test::CRegisteredPty taken(1);
    const std::string expected = "COM" + std::to_string(FirstFreeNumber());
    CDevsimProcess killed({"--echo", "--register", "free"});
    EXPECT_EQ(killed.PortName(), expected);
    kill(killed.Pid(), SIGKILL);
    killed.Stop();

    CPseudoTerminal later; // may get the killed simulator's /dev/pts number
    ASSERT_EQ(later.Open(), "");
    for (const CPortEntry& entry : DiscoverPortTable())
        EXPECT_NE("COM" + std::to_string(entry.number), expected) << entry.device;
    CDevsimProcess next({"--echo", "--register", "free"});
    EXPECT_EQ(next.PortName(), expected);
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
        {{0x03, 0x08, 0x00, 0x01, 0x00, 0x00}, {0x03, 0x88, 0x01}},
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
