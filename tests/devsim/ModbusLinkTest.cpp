#include "brivox-devsim/ModbusLink.h"

#include "modbus/ModbusFrame.h"

#include <gtest/gtest.h>

namespace brivox::devsim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<CExchange> Feed(CModbusLink& link, const Bytes& bytes) {
    return link.Receive(bytes.data(), bytes.size());
}

TEST(ModbusLinkTest, RtuAnswersItsAddressOnlyAndChecksTheCrc) {
    CModbusLink link(ModbusFraming::Rtu, 1);
    const Bytes request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    auto exchanges = Feed(link, request);
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_EQ(exchanges[0].request, request);
    const Bytes& reply = exchanges[0].reply;
    ASSERT_EQ(reply.size(), 25u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), (Bytes{0x01, 0x03, 0x14, 0x00, 0x00}));
    EXPECT_EQ(RtuFrameOf(Bytes(reply.begin(), reply.end() - 2)), reply);

    Bytes badCrc = request;
    badCrc.back() ^= 1;
    Bytes otherSlave = RtuFrameOf({0x02, 0x03, 0x00, 0x00, 0x00, 0x01});
    for (const Bytes& ignored : {badCrc, otherSlave}) {
        exchanges = Feed(link, ignored);
        ASSERT_EQ(exchanges.size(), 1u);
        EXPECT_TRUE(exchanges[0].reply.empty());
    }
    // A broadcast write is carried out without an answer.
    exchanges = Feed(link, RtuFrameOf({0x00, 0x06, 0x00, 0x05, 0x12, 0x34}));
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_TRUE(exchanges[0].reply.empty());
    EXPECT_EQ(link.Slave().HoldingRegister(5), 0x1234);
}

TEST(ModbusLinkTest, RtuFramesAcrossChunksAndBackToBack) {
    CModbusLink link(ModbusFraming::Rtu, 7);
    const Bytes write = RtuFrameOf({0x07, 0x10, 0x00, 0x00, 0x00, 0x02, 0x04, 0, 1, 0, 2});
    const Bytes read = RtuFrameOf({0x07, 0x04, 0x00, 0x00, 0x00, 0x01});
    Bytes stream = write;
    stream.insert(stream.end(), read.begin(), read.end());
    std::vector<CExchange> exchanges;
    for (const uint8_t byte : stream) {
        auto some = link.Receive(&byte, 1);
        exchanges.insert(exchanges.end(), some.begin(), some.end());
    }
    ASSERT_EQ(exchanges.size(), 2u);
    EXPECT_EQ(exchanges[0].reply, RtuFrameOf({0x07, 0x10, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_EQ(exchanges[1].reply, RtuFrameOf({0x07, 0x04, 0x02, 0x80, 0x00}));
    EXPECT_EQ(link.QuietMs(), -1);
}

TEST(ModbusLinkTest, RtuFrameOfUnknownLengthEndsWithThePause) {
    CModbusLink link(ModbusFraming::Rtu, 1);
    EXPECT_TRUE(Feed(link, RtuFrameOf({0x01, 0x41})).empty());
    EXPECT_EQ(link.QuietMs(), CModbusLink::kRtuPauseMs);
    auto exchanges = link.Quiet();
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_EQ(exchanges[0].reply, RtuFrameOf({0x01, 0xC1, 0x01}));
    // Noise is dropped at the pause, and the next frame is read from its start.
    EXPECT_TRUE(Feed(link, {0x01, 0x2B, 0x55}).empty());
    exchanges = link.Quiet();
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_TRUE(exchanges[0].reply.empty());
    EXPECT_EQ(Feed(link, RtuFrameOf({0x01, 0x06, 0x00, 0x00, 0x00, 0x01})).size(), 1u);
}

TEST(ModbusLinkTest, AsciiFramesWithLrc) {
    CModbusLink link(ModbusFraming::Ascii, 0x11);
    const Bytes request = Text(":110300000002EA\r\n");
    EXPECT_EQ(AsciiFrameOf({0x11, 0x03, 0x00, 0x00, 0x00, 0x02}), request);
    auto exchanges = Feed(link, Text("noise"));
    EXPECT_TRUE(exchanges.empty());
    exchanges = Feed(link, request);
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_EQ(exchanges[0].reply, Text(":11030400000001E7\r\n"));

    for (const char* ignored : {":110300000002EB\r\n", ":120300000002E9\r\n", ":11030\r\n",
                                ":11 0300000002EA\r\n", ":1103XX000002EA\r\n"}) {
        exchanges = Feed(link, Text(ignored));
        ASSERT_EQ(exchanges.size(), 1u) << ignored;
        EXPECT_TRUE(exchanges[0].reply.empty()) << ignored;
    }
    // A colon restarts the frame; lower-case hex is accepted.
    exchanges = Feed(link, Text(":1103:110600010002e6\r\n"));
    ASSERT_EQ(exchanges.size(), 1u);
    EXPECT_EQ(exchanges[0].reply, Text(":110600010002E6\r\n"));
    EXPECT_EQ(link.Slave().HoldingRegister(1), 2);

    EXPECT_TRUE(Feed(link, Text(":1103")).empty());
    EXPECT_EQ(link.QuietMs(), CModbusLink::kAsciiPauseMs);
    EXPECT_TRUE(link.Quiet().empty());
    EXPECT_EQ(link.QuietMs(), -1);
}

} // namespace
} // namespace brivox::devsim
