#include "modbus/ModbusDecoder.h"

#include "modbus/ModbusFrame.h"

#include <gtest/gtest.h>
#include <string>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Chars(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// One conversation on a bus, frame after frame, as the decoder hears it in both framings.
TEST(ModbusDecoder, RequestsAndRepliesOfEveryFunctionInBothFramings) {
    const struct {
        Bytes adu;
        const char* text;
    } bus[] = {
        {{1, 0x03, 0x00, 0x10, 0x00, 0x03},
         "slave 1 request 03 read holding registers: start 0010 quantity 3"},
        {{1, 0x03, 0x06, 0x00, 0x10, 0x00, 0x11, 0x00, 0x12},
         "slave 1 reply 03 read holding registers: byte count 6 registers 0010 0011 0012"},
        {{1, 0x01, 0x00, 0x00, 0x00, 0x07}, "slave 1 request 01 read coils: start 0000 quantity 7"},
        {{1, 0x01, 0x01, 0x49}, "slave 1 reply 01 read coils: byte count 1 coils 1 0 0 1 0 0 1"},
        {{2, 0x02, 0x00, 0x02, 0x00, 0x04},
         "slave 2 request 02 read discrete inputs: start 0002 quantity 4"},
        {{2, 0x02, 0x01, 0x05},
         "slave 2 reply 02 read discrete inputs: byte count 1 inputs 1 0 1 0"},
        {{1, 0x04, 0x00, 0x01, 0x00, 0x02},
         "slave 1 request 04 read input registers: start 0001 quantity 2"},
        {{1, 0x04, 0x04, 0x80, 0x01, 0x80, 0x02},
         "slave 1 reply 04 read input registers: byte count 4 registers 8001 8002"},
        {{1, 0x05, 0x00, 0x04, 0xFF, 0x00},
         "slave 1 request 05 write single coil: address 0004 value FF00"},
        {{1, 0x05, 0x00, 0x04, 0xFF, 0x00},
         "slave 1 reply 05 write single coil: address 0004 value FF00"},
        {{1, 0x06, 0x00, 0x20, 0xAB, 0xCD},
         "slave 1 request 06 write single register: address 0020 value ABCD"},
        {{1, 0x06, 0x00, 0x20, 0xAB, 0xCD},
         "slave 1 reply 06 write single register: address 0020 value ABCD"},
        {{1, 0x0F, 0x00, 0x08, 0x00, 0x0A, 0x02, 0xCD, 0x01},
         "slave 1 request 0F write multiple coils: start 0008 quantity 10 byte count 2 coils 1 0 1 "
         "1 0 0 1 1 1 0"},
        {{1, 0x0F, 0x00, 0x08, 0x00, 0x0A},
         "slave 1 reply 0F write multiple coils: start 0008 quantity 10"},
        {{1, 0x10, 0x00, 0x30, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02},
         "slave 1 request 10 write multiple registers: start 0030 quantity 2 byte count 4 "
         "registers 000A 0102"},
        {{1, 0x10, 0x00, 0x30, 0x00, 0x02},
         "slave 1 reply 10 write multiple registers: start 0030 quantity 2"},
        {{1, 0x03, 0xFF, 0xF0, 0x00, 0x64},
         "slave 1 request 03 read holding registers: start FFF0 quantity 100"},
        {{1, 0x83, 0x02},
         "slave 1 exception 83 read holding registers: code 02 illegal data address"},
        // A reply of three data bytes has a request's length: it answers the request before it.
        {{1, 0x01, 0x00, 0x00, 0x00, 0x18},
         "slave 1 request 01 read coils: start 0000 quantity 24"},
        {{1, 0x01, 0x03, 0xFF, 0x00, 0xAA},
         "slave 1 reply 01 read coils: byte count 3 coils 1 1 1 1 1 1 1 1 0 0 0 0 0 0 0 0 0 1 0 1 "
         "0 1 0 1"},
        {{1, 0x01, 0x03, 0xFF, 0x00, 0xAA},
         "slave 1 request 01 read coils: start 03FF quantity 170"},
        {{1, 0x07}, "slave 1 request 07 read exception status"},
        {{1, 0x07, 0x6D}, "slave 1 reply 07 read exception status: status 6D"},
        {{1, 0x08, 0x00, 0x00, 0x12, 0x34},
         "slave 1 request 08 diagnostics: sub function 0000 data 12 34"},
        {{1, 0x08, 0x00, 0x00, 0x12, 0x34},
         "slave 1 reply 08 diagnostics: sub function 0000 data 12 34"},
        {{1, 0x11}, "slave 1 request 11 report slave id"},
        {{1, 0x11, 0x03, 0x0A, 0xFF, 0x41},
         "slave 1 reply 11 report slave id: byte count 3 data 0A FF 41"},
        {{1, 0x16, 0x00, 0x04, 0x00, 0xF2, 0x00, 0x25},
         "slave 1 request 16 mask write register: address 0004 and mask 00F2 or mask 0025"},
        {{1, 0x16, 0x00, 0x04, 0x00, 0xF2, 0x00, 0x25},
         "slave 1 reply 16 mask write register: address 0004 and mask 00F2 or mask 0025"},
        {{1, 0x17, 0x00, 0x03, 0x00, 0x02, 0x00, 0x10, 0x00, 0x01, 0x02, 0x00, 0xFF},
         "slave 1 request 17 read/write multiple registers: read start 0003 read quantity 2 "
         "write start 0010 write quantity 1 byte count 2 registers 00FF"},
        {{1, 0x17, 0x04, 0x00, 0x01, 0x00, 0x02},
         "slave 1 reply 17 read/write multiple registers: byte count 4 registers 0001 0002"},
        {{1, 0x2B, 0x0E, 0x01, 0x00},
         "slave 1 request 2B read device identification: mei type 0E read code 01 object 00"},
        {{1, 0x2B, 0x0E, 0x01, 0x81, 0x00, 0x00, 0x02, 0x00, 0x02, 'A', 'C', 0x01, 0x01, 'P'},
         "slave 1 reply 2B read device identification: mei type 0E read code 01 conformity 81 "
         "more 00 next object 00 objects 00 01"},
        {{1, 0x41, 0x01}, "slave 1 function 41 (function 41 is not decoded)"},
    };
    for (const bool ascii : {false, true}) {
        CModbusDecoder decoder(ascii);
        for (const auto& frame : bus) {
            const CModbusFrameInfo info =
                decoder.Decode(ascii ? AsciiFrameOf(frame.adu) : RtuFrameOf(frame.adu));
            EXPECT_EQ(DescribeModbusFrame(info),
                      std::string(frame.text) + (ascii ? "; LRC ok" : "; CRC ok"));
            EXPECT_TRUE(info.checksumOk);
        }
    }
}

TEST(ModbusDecoder, BadChecksumsAndNonFramesAreSaidSo) {
    const struct {
        Bytes frame;
        bool ascii;
        const char* text;
    } cases[] = {
        {{1, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCE},
         false,
         "slave 1 request 03 read holding registers: start 0000 quantity 10; bad CRC C5 CE "
         "(should be C5 CD)"},
        {Chars(":01030000000AF3\r\n"), true,
         "slave 1 request 03 read holding registers: start 0000 quantity 10; bad LRC F3 (should "
         "be F2)"},
        {{1, 0x03, 0x00}, false, "no MODBUS frame: too short for a MODBUS RTU frame"},
        {Chars("01030000000AF2\r\n"), true,
         "no MODBUS frame: no \":\" at the start of a MODBUS ASCII frame"},
        {Chars(":01030000000AF2"), true,
         "no MODBUS frame: no CR LF at the end of a MODBUS ASCII frame"},
        {Chars(":0103G000000AF2\r\n"), true,
         "no MODBUS frame: a character that is no hex digit at 5"},
        {{1, 0x03, 0x00, 0x00, 0x00},
         false,
         "slave 1 reply 03 read holding registers: byte count 0 registers; bad CRC 00 00 (should "
         "be 20 F0)"},
    };
    for (const auto& c : cases) {
        CModbusDecoder decoder(c.ascii);
        const CModbusFrameInfo info = decoder.Decode(c.frame);
        EXPECT_EQ(DescribeModbusFrame(info), c.text);
        EXPECT_FALSE(info.checksumOk) << c.text;
    }
}

TEST(ModbusDecoder, FrameEndsWhereTheNextFrameFollowsAtOnce) {
    Bytes requestAndReply = RtuFrameOf({1, 0x03, 0x00, 0x10, 0x00, 0x01});
    const Bytes reply = RtuFrameOf({1, 0x03, 0x02, 0x00, 0x10});
    requestAndReply.insert(requestAndReply.end(), reply.begin(), reply.end());
    Bytes badThenMore = requestAndReply;
    badThenMore[7] ^= 1;
    Bytes exceptionThenMore = RtuFrameOf({1, 0x83, 0x02});
    exceptionThenMore.push_back(0x01);
    Bytes statusRequestAndReply = RtuFrameOf({1, 0x07});
    const Bytes status = RtuFrameOf({1, 0x07, 0x6D});
    statusRequestAndReply.insert(statusRequestAndReply.end(), status.begin(), status.end());
    const struct {
        Bytes bytes;
        bool ascii;
        size_t end;
    } cases[] = {
        {requestAndReply, false, 8},
        {RtuFrameOf({1, 0x03, 0x00, 0x10, 0x00, 0x01}), false, 0},
        {badThenMore, false, 0},
        {exceptionThenMore, false, 5},
        {statusRequestAndReply, false, 4},
        {Chars(":01030000000AF2\r\n:01"), true, 17},
        {Chars(":01030000000AF2\r\n"), true, 17},
        {Chars("xx:0103"), true, 2},
        {Chars(":0103000"), true, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ModbusFrameEnd(c.bytes, c.ascii), c.end) << c.end;
}

} // namespace
} // namespace brivox
