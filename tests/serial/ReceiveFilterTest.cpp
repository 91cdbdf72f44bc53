#include "serial/EchoSuppressor.h"
#include "serial/LineConfig.h"
#include "serial/LineErrorDecoder.h"

#include <gtest/gtest.h>
#include <vector>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

struct CDecoded {
    Bytes bytes;
    Bytes marks;
    bool anyMarked = false;
};

// Feeds the reads one after the other through one decoder.
CDecoded Decode(const std::vector<Bytes>& reads) {
    CLineErrorDecoder decoder;
    CDecoded out;
    for (Bytes read : reads) {
        Bytes marks(read.size(), 9);
        bool anyMarked = false;
        const int count =
            decoder.Decode(read.data(), marks.data(), static_cast<int>(read.size()), anyMarked);
        out.bytes.insert(out.bytes.end(), read.begin(), read.begin() + count);
        out.marks.insert(out.marks.end(), marks.begin(), marks.begin() + count);
        out.anyMarked |= anyMarked;
    }
    return out;
}

TEST(LineErrorDecoderTest, UndoesTheDriversMarkingInAnyPieces) {
    const struct {
        std::vector<Bytes> reads;
        Bytes bytes;
        Bytes marks;
    } cases[] = {
        {{{0x41, 0x42}}, {0x41, 0x42}, {0, 0}},
        {{{0xFF, 0x00, 0x41}}, {0x41}, {1}}, // parity or framing error
        {{{0xFF, 0x00, 0x00}}, {0x00}, {1}}, // BREAK
        {{{0xFF, 0xFF}}, {0xFF}, {0}},       // a literal FF
        {{{0x10, 0xFF, 0xFF, 0xFF, 0x00, 0xFF}}, {0x10, 0xFF, 0xFF}, {0, 0, 1}},
        {{{0xFF}, {0x00}, {0x41, 0x42}}, {0x41, 0x42}, {1, 0}}, // cut after each byte
        {{{0x30, 0xFF, 0x00}, {0x00, 0x31}}, {0x30, 0x00, 0x31}, {0, 1, 0}},
        {{{0xFF}, {0xFF, 0x05}}, {0xFF, 0x05}, {0, 0}},
        {{{0xFF, 0x41}}, {0x41}, {0}}, // no driver sends this: nothing grows
    };
    for (const auto& c : cases) {
        const CDecoded out = Decode(c.reads);
        EXPECT_EQ(out.bytes, c.bytes) << testing::PrintToString(c.reads);
        EXPECT_EQ(out.marks, c.marks) << testing::PrintToString(c.reads);
        EXPECT_EQ(out.anyMarked, c.marks != Bytes(c.marks.size(), 0));
    }
    EXPECT_STREQ(LineErrorText(0x00), "BREAK");
    EXPECT_STREQ(LineErrorText(0x41), "Parity or framing error");
}

TEST(EchoSuppressorTest, DropsTheEchoWhileDueAndStopsAtTheFirstDifference) {
    using namespace std::chrono_literals;
    const CEchoSuppressor::Clock::time_point t0{};
    const struct {
        const char* name;
        Bytes sent;
        Bytes received;
        Bytes marks; // empty: none
        std::chrono::milliseconds after;
        Bytes kept;
    } cases[] = {
        {"echo then reply", {1, 3, 0}, {1, 3, 0, 1, 3, 2}, {}, 0ms, {1, 3, 2}},
        {"echo in time", {5, 6}, {5, 6, 7}, {}, 100ms, {7}},
        {"echo too late", {5, 6}, {5, 6, 7}, {}, 400ms, {5, 6, 7}},
        {"a difference ends it", {5, 6, 7}, {5, 9, 7, 8}, {}, 0ms, {9, 7, 8}},
        {"a line error ends it", {5, 6}, {5, 6, 8}, {0, 1, 0}, 0ms, {6, 8}},
        {"nothing sent", {}, {5, 6}, {}, 0ms, {5, 6}},
    };
    for (const auto& c : cases) {
        // 9600,N,8,1: about 1 ms a byte.
        CEchoSuppressor echo(CharacterTime({9600, 8, 'N', StopBits::One}));
        echo.NoteSent(c.sent.data(), c.sent.size(), t0);
        Bytes bytes = c.received;
        Bytes marks = c.marks;
        const int kept = echo.Filter(bytes.data(), marks.empty() ? nullptr : marks.data(),
                                     static_cast<int>(bytes.size()), t0 + c.after);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + kept), c.kept) << c.name;
    }
}

} // namespace
} // namespace brivox
