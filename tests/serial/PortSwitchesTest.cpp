// The port's switches for the field on pseudo-terminals: line-error marking, the RS-485 echo, the
// capture log, and reopening when the device comes back.
#include "serial/PortMap.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

namespace brivox {
namespace {

using test::CRecordingPort;
using test::CRegisteredPty;
using test::RunEventsUntil;
using Bytes = std::vector<uint8_t>;

constexpr int kPort = 23;

class CReopenCountingPort : public CRecordingPort {
public:
    using CRecordingPort::CRecordingPort;
    int reopened = 0;

protected:
    void OnPortReopened() override { ++reopened; }
};

TEST(PortSwitchesTest, LineErrorsAskTheDriverToMarkAndALiteralFFComesBackWhole) {
    CRegisteredPty device(kPort);
    for (const bool on : {false, true}) {
        CRecordingPort port(kPort, "9600,E,8,1");
        port.SetLineErrors(on);
        ASSERT_TRUE(port.Open()) << port.GetLastError();
        CLineConfig line;
        CTermiosFlags flags;
        ASSERT_EQ(ReadAppliedLine(device.Pty().Slave(), line, &flags), "");
        EXPECT_EQ(flags.iflag, on ? static_cast<uint32_t>(INPCK | PARMRK) : INPCK) << on;
        // The driver doubles a literal FF only while it marks errors; either way it comes whole.
        const Bytes bytes = {0xFF, 0x00, 0x41, 0xFF, 0xFF};
        device.Send(bytes);
        ASSERT_TRUE(RunEventsUntil([&] { return port.Received().size() >= bytes.size(); }));
        EXPECT_EQ(port.Received(), bytes) << on;
    }
}

TEST(PortSwitchesTest, TheEchoOfSentBytesIsDroppedOnlyWhenAsked) {
    CRegisteredPty device(kPort);
    for (const bool on : {false, true}) {
        CRecordingPort port(kPort);
        port.SetIgnoreEcho(on);
        ASSERT_TRUE(port.Open()) << port.GetLastError();
        const Bytes request = {0x01, 0x03, 0x00};
        ASSERT_TRUE(port.Write(request.data(), request.size()));
        EXPECT_EQ(device.Receive(request.size()), request);
        device.Send({0x01, 0x03, 0x00, 0x01, 0x03, 0x02});
        const Bytes expected =
            on ? Bytes{0x01, 0x03, 0x02} : Bytes{0x01, 0x03, 0x00, 0x01, 0x03, 0x02};
        ASSERT_TRUE(RunEventsUntil([&] { return port.Received().size() >= expected.size(); }));
        EXPECT_EQ(port.Received(), expected) << on;
    }
}

TEST(PortSwitchesTest, CaptureLogKeepsALineABurstWithTimeDirectionHexAndAscii) {
    test::CTempFolder folder;
    const std::string path = folder.Path("capture.log");
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    auto log = std::make_shared<CCaptureLog>();
    ASSERT_EQ(log->Open(path), "");
    port.SetCaptureLog(log);
    ASSERT_TRUE(port.Open());
    const Bytes sent = {'A', 'B', 0x0D};
    ASSERT_TRUE(port.Write(sent.data(), sent.size()));
    device.Send({'o', 'k'});
    ASSERT_TRUE(RunEventsUntil([&] { return port.Received().size() >= 2; }));
    port.SetCaptureLog(nullptr);
    port.Write(sent.data(), sent.size());
    const std::string text = test::ReadTestFile(path);
    // "2026-12-07 21:30:01.123 TX ...": 23 characters of time, then the rest.
    ASSERT_EQ(text.size(), 2 * 24 + std::string("TX 41 42 0D  |AB.|\nRX 6F 6B  |ok|\n").size())
        << text;
    EXPECT_EQ(text.substr(24, 19), "TX 41 42 0D  |AB.|\n");
    EXPECT_EQ(text.substr(24 + 19 + 24), "RX 6F 6B  |ok|\n");
    EXPECT_EQ(text[4], '-');
    EXPECT_EQ(text[19], '.');
    const uint8_t bytes[] = {0x00, 0x41};
    const uint8_t marks[] = {1, 0};
    EXPECT_EQ(CCaptureLog::Line({}, CCaptureLog::Direction::Rx, bytes, marks, 2).substr(23),
              " RX 00! 41  |.A|\n");
}

// As udev does when an adapter is pulled and plugged in again: the by-id link goes with the
// device and comes back naming a new node, while the port map still names the old one.
TEST(PortSwitchesTest, ReopensByTheByIdLinkWhenTheDeviceComesBackUnderAnotherNode) {
    test::CTempFolder byId;
    const std::string link = byId.Path("usb-FTDI_FT232R_A1B2C3-if00-port0");
    auto first = std::make_unique<CRegisteredPty>(kPort);
    ASSERT_EQ(symlink(first->Pty().SlavePath().c_str(), link.c_str()), 0);
    CReopenCountingPort port(kPort);
    port.SetByIdFolder(byId.Root());
    port.SetReconnect(true);
    ASSERT_TRUE(port.Open()) << port.GetLastError();

    unlink(link.c_str());
    first.reset();
    ASSERT_TRUE(RunEventsUntil([&] { return port.lost == 1; }));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.IsWaitingForDevice());

    CPseudoTerminal second;
    ASSERT_EQ(second.Open(), "");
    ASSERT_EQ(symlink(second.SlavePath().c_str(), link.c_str()), 0);
    ASSERT_TRUE(RunEventsUntil([&] { return port.IsOpen(); }, 5000));
    EXPECT_EQ(port.reopened, 1);
    EXPECT_FALSE(port.IsWaitingForDevice());
    const Bytes hello = {'h', 'i'};
    ASSERT_EQ(write(second.Master(), hello.data(), hello.size()), 2);
    ASSERT_TRUE(RunEventsUntil([&] { return port.Received().size() >= 2; }));
    EXPECT_EQ(port.Received(), hello);

    port.Close();
    EXPECT_FALSE(port.IsWaitingForDevice());
}

TEST(PortSwitchesTest, WithoutReconnectAGoneDeviceIsNotWaitedFor) {
    auto device = std::make_unique<CRegisteredPty>(kPort);
    CReopenCountingPort port(kPort);
    ASSERT_TRUE(port.Open());
    device.reset();
    ASSERT_TRUE(RunEventsUntil([&] { return port.lost == 1; }));
    EXPECT_FALSE(port.IsWaitingForDevice());
    CRegisteredPty again(kPort);
    RunEventsUntil([] { return false; }, 300);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.reopened, 0);
}

} // namespace
} // namespace brivox
