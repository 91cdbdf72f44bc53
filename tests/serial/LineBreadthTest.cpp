// The line beyond the form's settings on a pseudo-terminal, and with a fake driver where a
// pseudo-terminal has no such thing (modem lines, BREAK, HUPCL, RS-485, a rounded rate).
#include "IoctlFault.h"
#include "serial/CaptureLog.h"
#include "serial/LineConfig.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

namespace brivox {
namespace {

using test::CFakeDriver;
using test::CRegisteredPty;
using Kind = CFakeDriver::CEvent::Kind;

constexpr int kPort = 23;

class CModemPort : public test::CRecordingPort {
public:
    CModemPort() : CRecordingPort(kPort) {}
    std::vector<CModemLines> changes;

protected:
    void OnModemLinesChanged(const CModemLines& lines, CPortReader::Clock::time_point) override {
        changes.push_back(lines);
    }
};

// The events of one kind, as on/off.
std::vector<bool> States(const CFakeDriver& driver, Kind kind) {
    std::vector<bool> states;
    for (const auto& event : driver.Events())
        if (event.kind == kind)
            states.push_back(event.on);
    return states;
}

// A pseudo-terminal keeps the rate, the stop bits and the flow control; it forces 8 data bits
// without parity, whose encoding the line's own tests check.
TEST(LineBreadthTest, EveryLineTheSettingsTextCanSayIsAppliedAndReadBack) {
    CRegisteredPty device(kPort);
    const struct {
        const char* settings;
        FlowControl flow;
    } cases[] = {
        {"250000,M,5,1.5", FlowControl::None},
        {"31250,S,6,2", FlowControl::RtsCts},
        {"74880,E,7,1", FlowControl::XonXoff},
        {"3000000,N,8,1", FlowControl::None},
    };
    for (const auto& c : cases) {
        test::CRecordingPort port(kPort, c.settings);
        port.SetFlowControl(c.flow);
        ASSERT_TRUE(port.Open()) << c.settings << ": " << port.GetLastError();
        CLineConfig asked, applied;
        ASSERT_EQ(ParseLineConfig(c.settings, asked), "");
        CTermiosFlags flags;
        ASSERT_EQ(ReadAppliedLine(device.Pty().Slave(), applied, &flags), "");
        EXPECT_EQ(applied.baud, asked.baud);
        EXPECT_EQ((flags.cflag & CSTOPB) != 0, asked.stopBits != StopBits::One) << c.settings;
        EXPECT_EQ(applied.flow, c.flow) << c.settings;
    }
    test::CRecordingPort refused(kPort, "9600,N,8,1.5");
    EXPECT_FALSE(refused.Open());
}

TEST(LineBreadthTest, ARateTheDriverRoundsByMoreThanTwoPercentIsSaidAfterOpen) {
    CRegisteredPty device(kPort);
    CFakeDriver driver;
    driver.RoundRatesTo(76800);
    test::CRecordingPort far(kPort, "74880,N,8,1");
    ASSERT_TRUE(far.Open());
    EXPECT_NE(far.GetLastError().find("asked 74880, the adapter runs at 76800, +2.6 %"),
              std::string::npos)
        << far.GetLastError();
    far.Close();
    driver.RoundRatesTo(249600);
    test::CRecordingPort near(kPort, "250000,N,8,1");
    ASSERT_TRUE(near.Open());
    EXPECT_EQ(near.GetLastError(), "");
}

TEST(LineBreadthTest, BreakPulseAndTheLinesAtOpenAndClose) {
    CRegisteredPty device(kPort);
    CFakeDriver driver;
    test::CRecordingPort port(kPort);
    port.SetLinePolicy({LineLevel::Low, LineLevel::Keep});
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(States(driver, Kind::Dtr), std::vector<bool>{false}) << "lowered at open";
    EXPECT_TRUE(States(driver, Kind::Rts).empty()) << "left as it was";
    ASSERT_TRUE(port.SendBreak(60));
    std::vector<CPulseStep> steps;
    ASSERT_EQ(ParsePulse("DTR=1, RTS=0,40ms,DTR=0", steps), "");
    ASSERT_TRUE(port.RunPulse(steps));
    port.Close();
    EXPECT_FALSE(driver.HangsUpOnClose()) << "RTS kept: closing must not drop it";

    const std::vector<CFakeDriver::CEvent> events = driver.Events();
    std::vector<std::pair<Kind, bool>> order;
    for (const auto& event : events)
        order.emplace_back(event.kind, event.on);
    EXPECT_EQ(order, (std::vector<std::pair<Kind, bool>>{{Kind::Dtr, false},
                                                         {Kind::Break, true},
                                                         {Kind::Break, false},
                                                         {Kind::Dtr, true},
                                                         {Kind::Rts, false},
                                                         {Kind::Dtr, false},
                                                         {Kind::Dtr, false}}))
        << "DTR low at close too";
    EXPECT_GE(events[2].at - events[1].at, std::chrono::milliseconds(60));
    EXPECT_GE(events[5].at - events[4].at, std::chrono::milliseconds(40));
}

TEST(LineBreadthTest, ModemLineChangesArriveAsTheyHappenAndCloseEndsTheWait) {
    CRegisteredPty device(kPort);
    CFakeDriver driver;
    test::CTempFolder folder;
    auto capture = std::make_shared<CCaptureLog>();
    ASSERT_EQ(capture->Open(folder.Path("capture.log")), "");
    CModemPort port;
    port.SetCapture(capture);
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(port.WatchesModemLines());
    ASSERT_TRUE(test::RunEventsUntil([&] { return driver.Waiters() == 1; }));
    driver.SetInputLines(TIOCM_CTS | TIOCM_CD);
    ASSERT_TRUE(test::RunEventsUntil([&] { return !port.changes.empty(); }));
    EXPECT_EQ(port.changes[0], (CModemLines{true, false, true, false}));
    port.Close();
    EXPECT_EQ(driver.Waiters(), 0) << "the wait ended with the port";
    EXPECT_FALSE(port.WatchesModemLines());
    EXPECT_NE(test::ReadTestFile(folder.Path("capture.log"))
                  .find(" -- modem lines CTS on, DSR off, DCD on, RI off\n"),
              std::string::npos);
}

TEST(LineBreadthTest, Rs485InTheDriverOrRtsSwitchedAroundEachWrite) {
    CRegisteredPty device(kPort);
    for (const bool supported : {true, false}) {
        CFakeDriver driver;
        driver.SetRs485Supported(supported);
        test::CRecordingPort port(kPort);
        port.SetRs485({true, true, 0, 0});
        ASSERT_TRUE(port.Open());
        const uint8_t bytes[] = {1, 2, 3};
        ASSERT_TRUE(port.Write(bytes, sizeof bytes));
        EXPECT_EQ(device.Receive(3), std::vector<uint8_t>(bytes, bytes + 3));
        EXPECT_EQ(States(driver, Kind::Rs485),
                  supported ? std::vector<bool>{true} : std::vector<bool>{});
        EXPECT_EQ(States(driver, Kind::Rts),
                  supported ? std::vector<bool>{} : (std::vector<bool>{false, true, false}))
            << "low at open, high for the write, low once it has left";
        EXPECT_EQ(port.GetLastError().find("the driver has no RS-485 mode") != std::string::npos,
                  !supported)
            << port.GetLastError();
    }
}

} // namespace
} // namespace brivox
