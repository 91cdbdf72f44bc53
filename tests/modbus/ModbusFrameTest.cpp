#include "modbus/ModbusFrame.h"

#include <gtest/gtest.h>
#include <string>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Chars(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(ModbusFrame, FramesRoundTripAndCorruptionIsRefused) {
    const Bytes adu = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
    EXPECT_EQ(RtuFrameOf(adu), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_EQ(AsciiFrameOf(adu), Chars(":01030000000AF2\r\n"));

    Bytes back;
    ASSERT_TRUE(AduOfRtuFrame(RtuFrameOf(adu), back));
    EXPECT_EQ(back, adu);
    ASSERT_TRUE(AduOfAsciiFrame(Chars(":01030000000af2\r\n"), back)) << "lower case is hex too";
    EXPECT_EQ(back, adu);

    const struct {
        Bytes frame;
        bool ascii;
    } refused[] = {
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCE}, false},
        {{0x01, 0x03}, false},
        {Chars(":01030000000AF3\r\n"), true},
        {Chars(":01030000000AF2\n"), true},
        {Chars("01030000000AF2\r\n"), true},
        {Chars(":0103000G000AF2\r\n"), true},
        {Chars(":01030000000AF\r\n"), true},
    };
    for (const auto& r : refused) {
        Bytes adu2;
        EXPECT_FALSE(r.ascii ? AduOfAsciiFrame(r.frame, adu2) : AduOfRtuFrame(r.frame, adu2))
            << std::string(r.frame.begin(), r.frame.end());
    }
}

TEST(ModbusFrame, RtuReplyLengthsByFunction) {
    const struct {
        Bytes start;
        size_t length;
    } cases[] = {
        {{0x01}, 0},
        {{0x01, 0x03}, 0},
        {{0x01, 0x03, 0x06}, 11},
        {{0x01, 0x01, 0x02}, 7},
        {{0x01, 0x05}, 8},
        {{0x01, 0x10, 0x00}, 8},
        {{0x01, 0x83}, 5},
        {{0x01, 0x2B}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RtuReplyLength(c.start), c.length);
    EXPECT_TRUE(AsciiFrameEnded(Chars(":0103\r\n")));
    EXPECT_FALSE(AsciiFrameEnded(Chars(":0103\r")));
}

TEST(ModbusFrame, RepliesAreDescribed) {
    using Lines = std::vector<std::string>;
    const struct {
        Bytes adu;
        int quantity;
        Lines lines;
    } cases[] = {
        {{0x01, 0x03, 0x04, 0x00, 0x0A, 0x01, 0x02}, 2, {"registers 000A 0102"}},
        {{0x01, 0x01, 0x02, 0xCD, 0x01}, 10, {"coils 1 0 1 1 0 0 1 1 1 0"}},
        {{0x01, 0x83, 0x02}, 3, {"exception 02"}},
        {{0x01, 0x05, 0x00, 0xAC, 0xFF, 0x00}, 0, {"written address 00AC value FF00"}},
        {{0x01, 0x10, 0x00, 0x01, 0x00, 0x02}, 0, {"written address 0001 quantity 0002"}},
        {{0x01, 0x03, 0x04, 0x00}, 2, {"malformed reply: byte count 4"}},
        {{0x01}, 0, {"malformed reply: too short"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DescribeModbusReply(c.adu, c.quantity), c.lines);
}

} // namespace
} // namespace brivox
