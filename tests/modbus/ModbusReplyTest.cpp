#include "modbus/ModbusReply.h"

#include "modbus/ModbusFrame.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Each request against replies of every kind, in both framings.
TEST(ModbusReplyTest, JudgesEveryReplyAgainstItsRequest) {
    const Bytes read3 = {0x07, 0x03, 0x00, 0x10, 0x00, 0x03};
    const Bytes writeCoil = {0x07, 0x05, 0x00, 0x04, 0xFF, 0x00};
    const Bytes writeWords = {0x07, 0x10, 0x00, 0x30, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02};
    const struct {
        Bytes request;
        Bytes reply; // an ADU, framed as the request
        ModbusVerdict verdict;
        const char* said; // the reason, or the first decoded line
    } cases[] = {
        {read3,
         {0x07, 0x03, 0x06, 0, 1, 0, 2, 0, 3},
         ModbusVerdict::Ok,
         "registers 0001 0002 0003"},
        {read3, {0x07, 0x83, 0x02}, ModbusVerdict::Exception, "exception 02"},
        {read3,
         {0x05, 0x03, 0x06, 0, 1, 0, 2, 0, 3},
         ModbusVerdict::Mismatch,
         "reply from slave 5, the request was to 7"},
        {read3,
         {0x07, 0x04, 0x06, 0, 1, 0, 2, 0, 3},
         ModbusVerdict::Mismatch,
         "function 04 in the reply, the request was 03"},
        {read3,
         {0x07, 0x03, 0x04, 0, 1, 0, 2},
         ModbusVerdict::Mismatch,
         "byte count 4 in the reply, 6 for the 3 registers asked"},
        {read3,
         {0x07, 0x03, 0x08, 0, 1, 0, 2, 0, 3, 0, 4},
         ModbusVerdict::Mismatch,
         "byte count 8 in the reply, 6 for the 3 registers asked"},
        {read3, read3, ModbusVerdict::Mismatch, "an echo of the request"},
        {writeCoil, writeCoil, ModbusVerdict::Ok, "written address 0004 value FF00"},
        {writeCoil,
         {0x07, 0x05, 0x00, 0x04, 0x00, 0x00},
         ModbusVerdict::Mismatch,
         "the reply confirms address 0004 value 0000, the request was address 0004 value FF00"},
        {writeWords,
         {0x07, 0x10, 0x00, 0x30, 0x00, 0x02},
         ModbusVerdict::Ok,
         "written address 0030 quantity 0002"},
        {writeWords, writeWords, ModbusVerdict::Mismatch, "an echo of the request"},
        {{0x00, 0x06, 0x00, 0x01, 0x00, 0x02},
         {0x03, 0x06, 0x00, 0x01, 0x00, 0x02},
         ModbusVerdict::Mismatch,
         "a reply to a broadcast"},
    };
    for (const bool ascii : {false, true}) {
        auto frame = [ascii](const Bytes& adu) {
            return ascii ? AsciiFrameOf(adu) : RtuFrameOf(adu);
        };
        for (const auto& c : cases) {
            const CModbusReplyCheck check =
                CheckModbusReply(frame(c.request), frame(c.reply), ascii);
            EXPECT_EQ(check.verdict, c.verdict) << c.said << (ascii ? " ascii" : " rtu");
            const std::string said = check.lines.empty() ? check.reason : check.lines.front();
            EXPECT_EQ(said.rfind(c.said, 0), 0u) << said;
        }
    }
}

TEST(ModbusReplyTest, FramesThatAreCutCorruptOrFollowedByMore) {
    const Bytes request = RtuFrameOf({0x01, 0x03, 0x00, 0x00, 0x00, 0x01});
    const Bytes good = RtuFrameOf({0x01, 0x03, 0x02, 0x12, 0x34});
    Bytes corrupt = good;
    corrupt.back() ^= 0xFF;
    const struct {
        Bytes received;
        ModbusVerdict verdict;
        const char* reason;
    } cases[] = {
        {{}, ModbusVerdict::Incomplete, ""},
        {Bytes(good.begin(), good.end() - 1), ModbusVerdict::Incomplete, ""},
        {{0x01, 0x2B, 0x0E},
         ModbusVerdict::Mismatch,
         "function 2B in the reply, the request was 03"},
        {corrupt, ModbusVerdict::BadChecksum, "bad CRC"},
        {Concat(good, {0x00, 0x00}), ModbusVerdict::Mismatch, "2 more bytes after the reply"},
        {Concat(request, good), ModbusVerdict::Mismatch, "an echo of the request"},
    };
    for (const auto& c : cases) {
        const CModbusReplyCheck check = CheckModbusReply(request, c.received, false);
        EXPECT_EQ(check.verdict, c.verdict) << c.reason;
        EXPECT_EQ(check.reason.rfind(c.reason, 0), 0u) << check.reason;
    }
    EXPECT_TRUE(IsBroadcastRequest(AsciiFrameOf({0x00, 0x05, 0x00, 0x01, 0xFF, 0x00}), true));
    EXPECT_FALSE(IsBroadcastRequest(request, false));
}

} // namespace
} // namespace brivox

namespace brivox {
namespace {

// The functions beyond reads and writes: each reply judged, and not taken before its last byte.
TEST(ModbusReplyTest, JudgesTheOtherFunctionsByTheirOwnShape) {
    const Bytes echo = {0x01, 0x08, 0x00, 0x00, 0x12, 0x34};
    const Bytes mask = {0x01, 0x16, 0x00, 0x04, 0x00, 0xF2, 0x00, 0x25};
    const Bytes readWrite = {0x01, 0x17, 0x00, 0x03, 0x00, 0x02, 0x00,
                             0x10, 0x00, 0x01, 0x02, 0x00, 0xFF};
    const Bytes identify = {0x01, 0x2B, 0x0E, 0x01, 0x00};
    const struct {
        Bytes request;
        Bytes reply;
        ModbusVerdict verdict;
        const char* said;
    } cases[] = {
        {{0x01, 0x07}, {0x01, 0x07, 0x6D}, ModbusVerdict::Ok, "exception status 6D"},
        {echo, echo, ModbusVerdict::Ok, "echo 00 00 12 34"},
        {echo,
         {0x01, 0x08, 0x00, 0x00, 0x12, 0x35},
         ModbusVerdict::Mismatch,
         "the reply does not echo the request"},
        {{0x01, 0x11},
         {0x01, 0x11, 0x06, 0x0A, 0xFF, 'P', 'U', 'M', 'P'},
         ModbusVerdict::Ok,
         "slave id 0A FF 50 55 4D 50 \"PUMP\""},
        {mask, mask, ModbusVerdict::Ok, "masked address 0004 and 00F2 or 0025"},
        {readWrite, {0x01, 0x17, 0x04, 0, 1, 0, 2}, ModbusVerdict::Ok, "registers 0001 0002"},
        {readWrite,
         {0x01, 0x17, 0x02, 0, 1},
         ModbusVerdict::Mismatch,
         "byte count 2 in the reply, 4 for the 2 registers asked"},
        {identify,
         {0x01, 0x2B, 0x0E, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x03, 'A', 'C', 'M', 0x01, 0x02,
          'P', '1'},
         ModbusVerdict::Ok,
         "vendor \"ACM\""},
        {{0x01, 0x41, 0x01}, {0x01, 0x41, 0x09, 0x09}, ModbusVerdict::Ok, "function 41 data 09 09"},
        {{0x01, 0x41, 0x01}, {0x01, 0xC1, 0x01}, ModbusVerdict::Exception, "exception 01"},
    };
    for (const bool ascii : {false, true}) {
        auto frame = [ascii](const Bytes& adu) {
            return ascii ? AsciiFrameOf(adu) : RtuFrameOf(adu);
        };
        for (const auto& c : cases) {
            const Bytes reply = frame(c.reply);
            const CModbusReplyCheck check = CheckModbusReply(frame(c.request), reply, ascii);
            EXPECT_EQ(check.verdict, c.verdict) << c.said << (ascii ? " ascii" : " rtu");
            const std::string said = check.lines.empty() ? check.reason : check.lines.front();
            EXPECT_EQ(said, c.said);
            const Bytes cut(reply.begin(), reply.end() - 1);
            EXPECT_EQ(CheckModbusReply(frame(c.request), cut, ascii).verdict,
                      ModbusVerdict::Incomplete)
                << c.said << (ascii ? " ascii" : " rtu");
        }
    }
}

} // namespace
} // namespace brivox
