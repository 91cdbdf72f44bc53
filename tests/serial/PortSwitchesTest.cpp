// The port's switches for the field on pseudo-terminals: line-error marking, and reopening when
// the device comes back.
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

} // namespace
} // namespace brivox
