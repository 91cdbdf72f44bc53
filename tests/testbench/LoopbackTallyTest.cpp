#include "testbench/LoopbackTally.h"

#include "session/TestBlock.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

// Three test blocks through a line that spoils them, handed back in reads of 100 bytes.
std::array<int64_t, 4> Tally(const std::function<Bytes(const Bytes&)>& line) {
    Bytes sent;
    for (int i = 0; i < 3; ++i) {
        const Bytes block = TestBlock();
        sent.insert(sent.end(), block.begin(), block.end());
    }
    const Bytes back = line(sent);
    CLoopbackTally tally;
    tally.Sent(sent.data(), sent.size());
    for (size_t at = 0; at < back.size(); at += 100)
        tally.Received(back.data() + at, std::min<size_t>(100, back.size() - at));
    tally.Finish();
    return {tally.Intact(), tally.Lost(), tally.Corrupt(), tally.Extra()};
}

// Every nth byte (counted from 1) dropped, inverted or followed by a stray one.
std::function<Bytes(const Bytes&)> Every(size_t n, char fault) {
    return [n, fault](const Bytes& sent) {
        Bytes back;
        for (size_t i = 0; i < sent.size(); ++i) {
            const bool hit = (i + 1) % n == 0;
            if (!(hit && fault == 'd'))
                back.push_back(hit && fault == 'c' ? static_cast<uint8_t>(~sent[i]) : sent[i]);
            if (hit && fault == 'x')
                back.push_back(0x5A);
        }
        return back;
    };
}

TEST(LoopbackTally, EverySentByteIsIntactLostOrCorruptAndStraysAreExtra) {
    const struct {
        std::function<Bytes(const Bytes&)> line;
        std::array<int64_t, 4> counts; // intact, lost, corrupt, extra
    } cases[] = {
        {[](const Bytes& sent) { return sent; }, {3072, 0, 0, 0}},
        {Every(500, 'd'), {3066, 6, 0, 0}},
        {Every(300, 'c'), {3062, 0, 10, 0}},
        {Every(1000, 'x'), {3072, 0, 0, 3}},
        {[](const Bytes& sent) { return Bytes(sent.begin(), sent.begin() + 2000); },
         {2000, 1072, 0, 0}},
        {[](const Bytes& sent) { return Bytes(sent.begin() + 1024, sent.end()); },
         {2048, 1024, 0, 0}},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Tally(cases[i].line), cases[i].counts) << "case " << i;
}

} // namespace
} // namespace brivox
