#include "serial/SessionPort.h"

#include "IoctlFault.h"
#include "support/PortTestSupport.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

constexpr int kPort = 22;

class CFakeOwner : public CSessionPortOwner {
public:
    void ReceiveBytes(const uint8_t* bytes, int count) override {
        received.insert(received.end(), bytes, bytes + count);
    }
    void WriteBytes(const CByteBuffer& bytes) override {
        const auto vector = bytes.ToVector();
        written.insert(written.end(), vector.begin(), vector.end());
    }
    void PostSentByte(uint8_t byte) override { shown.push_back(byte); }
    void PortLost() override { ++lost; }
    void ShowPortMessage(const std::string& text) override { messages.push_back(text); }

    std::vector<uint8_t> received, written, shown;
    std::vector<std::string> messages;
    int lost = 0;
};

TEST(SessionPortTest, RoutesEverythingToTheOwner) {
    auto device = std::make_unique<test::CRegisteredPty>(kPort);
    CFakeOwner owner;
    CSessionPort port(owner);
    port.SetCommPort(kPort);
    port.SetSettings("9600,N,8,1");

    test::RefuseLineSettings(true);
    EXPECT_FALSE(port.SetPortOpen(true));
    test::RefuseLineSettings(false);
    EXPECT_EQ(owner.messages, std::vector<std::string>{"Can't Config"});

    ASSERT_TRUE(port.SetPortOpen(true));
    device->Send({0x10, 0x20});
    ASSERT_TRUE(test::RunEventsUntil([&] { return owner.received.size() == 2; }));
    EXPECT_EQ(owner.received, (std::vector<uint8_t>{0x10, 0x20}));

    port.SendByte(0x41, false);
    port.SendByte(0x42, true);
    EXPECT_EQ(owner.written, (std::vector<uint8_t>{0x41, 0x42}));
    EXPECT_EQ(owner.shown, std::vector<uint8_t>{0x42});

    device->Pty().Close();
    EXPECT_TRUE(test::RunEventsUntil([&] { return owner.lost == 1; }));
    EXPECT_FALSE(port.IsOpen());
}

} // namespace
} // namespace brivox
