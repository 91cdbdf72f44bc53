#include "serial/PortDiscovery.h"

#include "support/LoopbackListener.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {
namespace {

void MakeSysfsEntry(const test::CTempFolder& sys, const std::string& name, bool driver,
                    const char* uartType = nullptr) {
    const std::string folder = sys.Path(name);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    if (driver) {
        ASSERT_EQ(mkdir((folder + "/device").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((folder + "/driver-target").c_str(), 0755), 0);
        ASSERT_EQ(symlink("../driver-target", (folder + "/device/driver").c_str()), 0);
    }
    if (uartType != nullptr)
        test::WriteTestFile(folder + "/type", uartType);
}

TEST(PortDiscoveryTest, ListsDevicesWithADriverAndLegacyPortsWithAUart) {
    test::CTempFolder sys;
    MakeSysfsEntry(sys, "tty0", false);
    MakeSysfsEntry(sys, "console", false);
    MakeSysfsEntry(sys, "ttyS0", true, "4\n");
    MakeSysfsEntry(sys, "ttyS1", true, "0\n");
    MakeSysfsEntry(sys, "ttyS10", true, "4\n");
    MakeSysfsEntry(sys, "ttyUSB1", true);
    MakeSysfsEntry(sys, "ttyUSB0", true);
    MakeSysfsEntry(sys, "ttyACM0", true);
    MakeSysfsEntry(sys, "ttyAMA0", true);
    MakeSysfsEntry(sys, "rfcomm0", true);
    EXPECT_EQ(
        ListSerialDevices(sys.Root(), "/dev"),
        (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyS0",
                                  "/dev/ttyS10", "/dev/ttyAMA0", "/dev/rfcomm0"}));
    EXPECT_TRUE(ListSerialDevices(sys.Path("missing"), "/dev").empty());
}

TEST(PortDiscoveryTest, SortsFamiliesThenIndexNumerically) {
    std::vector<std::string> devices = {"/dev/ttyXRUSB2", "/dev/ttyS2",   "/dev/ttyUSB10",
                                        "/dev/ttyAMA1",   "/dev/ttyUSB2", "/dev/ttyACM0",
                                        "/dev/ttyS11",    "/dev/ttyGS0"};
    SortSerialDevices(devices);
    EXPECT_EQ(devices, (std::vector<std::string>{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                                 "/dev/ttyS2", "/dev/ttyS11", "/dev/ttyAMA1",
                                                 "/dev/ttyGS0", "/dev/ttyXRUSB2"}));
}

TEST(PortDiscoveryTest, NumbersUnmappedDevicesAroundTheMap) {
    const std::vector<CPortLink> links = {
        {3, "/dev/serial/by-id/usb-FTDI", "/dev/ttyUSB0", true},
        {1, "/dev/ttyUSB7", "", false}, // pinned device unplugged: its number stays taken
        {12, "/dev/pts/4", "/dev/pts/4", true},
        {12, "/dev/pts/5", "/dev/pts/5", true},
    };
    const std::vector<std::string> devices = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0",
                                              "/dev/ttyS0"};
    EXPECT_EQ(NumberPorts(links, devices), (std::vector<CPortEntry>{{2, "/dev/ttyUSB1"},
                                                                    {3, "/dev/ttyUSB0"},
                                                                    {4, "/dev/ttyACM0"},
                                                                    {5, "/dev/ttyS0"},
                                                                    {12, "/dev/pts/4"},
                                                                    {12, "/dev/pts/5"}}));
    EXPECT_TRUE(NumberPorts({}, {}).empty());
}

TEST(PortDiscoveryTest, DeviceNamesAndComboTexts) {
    EXPECT_EQ(ComDeviceName(9), "COM9");
    EXPECT_EQ(ComDeviceName(10), "\\\\?\\COM10");
    EXPECT_EQ(PortComboText({3, "/dev/ttyUSB0"}), "COM3 (ttyUSB0)");
    EXPECT_EQ(PortComboText({12, "/dev/pts/7"}), "COM12 (pts/7)");
    const struct {
        const char* text;
        int number;
    } cases[] = {
        {"COM3 (ttyUSB0)", 3}, {"COM12", 12}, {"COM7(x9)", 7}, {"COMx", 0},
        {"ttyUSB0", 1},        {"", 1},       {"com4", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortNumberFromComboText(c.text), c.number) << c.text;
}

TEST(PortDiscoveryTest, RegisteredPseudoTerminalsAreFoundAndResolved) {
    test::CRegisteredPty low(2);
    test::CRegisteredPty high(31);
    const std::string folder = PortMapFolder();
    // A link whose device is gone is not listed, and a name that is no COM number is ignored.
    ASSERT_EQ(RegisterPort(folder, 30, "/dev/brivox-missing"), "");
    ASSERT_EQ(symlink(low.Pty().SlavePath().c_str(), (folder + "/COMx").c_str()), 0);

    std::vector<std::string> numbers;
    DiscoverPorts(numbers);
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), "2"), numbers.end());
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), "31"), numbers.end());
    EXPECT_EQ(std::find(numbers.begin(), numbers.end(), "30"), numbers.end());
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end(),
                               [](auto& a, auto& b) { return std::stoi(a) < std::stoi(b); }));

    EXPECT_EQ(ResolveComDevice("COM2"), low.Pty().SlavePath());
    EXPECT_EQ(ResolveComDevice("\\\\?\\COM31"), high.Pty().SlavePath());
    EXPECT_EQ(ResolveComDevice("COM30"), "");
    EXPECT_EQ(ResolveComDevice("COM2x"), "");
    EXPECT_EQ(ResolveComDevice("/dev/ttyS0"), "");

    UnregisterPort(folder, 30, "/dev/other");
    EXPECT_EQ(ReadPortMap(folder).size(), 3u);
    UnregisterPort(folder, 30, "/dev/brivox-missing");
    unlink((folder + "/COMx").c_str());
    EXPECT_EQ(ReadPortMap(folder).size(), 2u);
}

TEST(PortDiscoveryTest, ServerAddressesAreListedWithoutAskingTheServer) {
    // A server of our own on 127.0.0.1 that notes any connection.
    int port = 0;
    const int listener = test::ListenOnLoopback(4, port);
    ASSERT_GE(listener, 0);
    const std::string local = "rfc2217://127.0.0.1:" + std::to_string(port);
    const std::string folder = PortMapFolder();
    ASSERT_EQ(RegisterPort(folder, 40, local), "");
    ASSERT_EQ(RegisterPort(folder, 41, "tcp://bench-3:2001"), "");
    ASSERT_EQ(RegisterPort(folder, 42, "rfc2217://no-port"), ""); // refused when opened

    const std::vector<CPortEntry> table = DiscoverPortTable();
    for (const CPortEntry& entry : {CPortEntry{40, local}, CPortEntry{41, "tcp://bench-3:2001"},
                                    CPortEntry{42, "rfc2217://no-port"}})
        EXPECT_NE(std::find(table.begin(), table.end(), entry), table.end()) << entry.device;
    EXPECT_EQ(PortComboText({41, "tcp://bench-3:2001"}), "COM41 (tcp://bench-3:2001)");
    EXPECT_EQ(ResolveComDevice("\\\\?\\COM41"), "tcp://bench-3:2001");
    pollfd pending{listener, POLLIN, 0};
    EXPECT_EQ(poll(&pending, 1, 0), 0) << "no connection was made";
    close(listener);
}

TEST(PortDiscoveryTest, OnlyTtyDevicesCount) {
    EXPECT_FALSE(IsTtyDevice("/dev/null"));
    EXPECT_FALSE(IsTtyDevice("/tmp"));
    EXPECT_FALSE(IsTtyDevice("/dev/brivox-missing"));
    CPseudoTerminal pty;
    ASSERT_EQ(pty.Open(), "");
    EXPECT_TRUE(IsTtyDevice(pty.SlavePath()));
}

} // namespace
} // namespace brivox
