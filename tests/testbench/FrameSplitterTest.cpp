#include "testbench/FrameSplitter.h"

#include "modbus/ModbusDecoder.h"
#include "modbus/ModbusFrame.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

struct CRead {
    Bytes bytes;
    int64_t atUs;
};

// The frames of the reads, then of the line going idle for good: length, gap, continued.
std::vector<std::tuple<size_t, int64_t, bool>> Split(const std::vector<CRead>& reads, bool modbus) {
    CFrameSplitter splitter(1000, modbus ? CFrameSplitter::FrameEnd([](const Bytes& bytes) {
                                return ModbusFrameEnd(bytes, false);
                            })
                                         : nullptr);
    std::vector<CLineFrame> frames;
    for (const CRead& read : reads) {
        for (CLineFrame& frame : splitter.Feed(read.bytes.data(), read.bytes.size(), read.atUs))
            frames.push_back(std::move(frame));
    }
    for (CLineFrame& frame : splitter.Idle(reads.back().atUs + 1000))
        frames.push_back(std::move(frame));
    std::vector<std::tuple<size_t, int64_t, bool>> shapes;
    for (const CLineFrame& frame : frames)
        shapes.emplace_back(frame.bytes.size(), frame.gapUs, frame.continued);
    return shapes;
}

TEST(FrameSplitter, FramesEndAtTheGapTheSizeLimitOrAModbusFrameEnd) {
    const Bytes request = RtuFrameOf({1, 0x03, 0x00, 0x00, 0x00, 0x01});
    Bytes requestAndReply = request;
    const Bytes reply = RtuFrameOf({1, 0x03, 0x02, 0x00, 0x00});
    requestAndReply.insert(requestAndReply.end(), reply.begin(), reply.end());
    const struct {
        std::vector<CRead> reads;
        bool modbus;
        std::vector<std::tuple<size_t, int64_t, bool>> frames;
    } cases[] = {
        // reads closer than the gap make one frame; a gap of exactly 1000 us ends it
        {{{Bytes(3), 0}, {Bytes(5), 999}, {Bytes(2), 1998}, {Bytes(1), 2998}},
         false,
         {{10, -1, false}, {1, 1000, false}}},
        // a frame longer than the limit goes on in a continued one
        {{{Bytes(1500), 0}, {Bytes(10), 5000}},
         false,
         {{1024, -1, false}, {476, 0, true}, {10, 5000, false}}},
        // MODBUS: a reply that follows its request at once is a frame of its own
        {{{requestAndReply, 0}}, true, {{8, -1, false}, {7, 0, false}}},
        // ... and when it comes in a read of its own, its gap is the time between the two
        {{{request, 0}, {reply, 150}}, true, {{8, -1, false}, {7, 150, false}}},
        {{{requestAndReply, 0}}, false, {{15, -1, false}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Split(c.reads, c.modbus), c.frames);
}

TEST(FrameSplitter, RtuGapIsThreeAndAHalfCharactersUpTo19200Baud) {
    const struct {
        CLineConfig line;
        int64_t gapUs;
    } cases[] = {
        {{9600, 8, 'N', StopBits::One}, 3646},  // 10 bits a character
        {{9600, 8, 'E', StopBits::One}, 4011},  // 11 bits
        {{19200, 8, 'N', StopBits::Two}, 2006}, // 11 bits
        {{38400, 8, 'N', StopBits::One}, 1750}, {{256000, 7, 'O', StopBits::One}, 1750},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ModbusRtuGapUs(c.line), c.gapUs) << c.line.baud;
}

} // namespace
} // namespace brivox
