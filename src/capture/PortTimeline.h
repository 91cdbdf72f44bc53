#pragma once

#include "testbench/FrameSplitter.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace brivox {

// The frames of several ports on one clock, handed on in the order they began (a port's own
// frames come in order already). A finished frame waits while another port may still bring one
// that began before it: a frame in progress there that began earlier, or bytes read there that
// are not handed over yet.
class CPortTimeline {
public:
    // What a port may still bring: nothing, or bytes whose time is not known yet.
    static constexpr int64_t kNothing = std::numeric_limits<int64_t>::max();
    static constexpr int64_t kUnknown = std::numeric_limits<int64_t>::min();

    struct CPortFrame {
        size_t port = 0;
        CLineFrame frame;
    };

    void Add(size_t port, std::vector<CLineFrame> frames);
    // The frames that can go now, in order. earliestToCome, a port's index: the start of its
    // frame in progress, kNothing or kUnknown.
    std::vector<CPortFrame> Release(const std::vector<int64_t>& earliestToCome);
    // Every frame held, in order: the ports have ended.
    std::vector<CPortFrame> ReleaseAll();

private:
    bool MayGo(const CPortFrame& held, const std::vector<int64_t>& earliestToCome) const;

    std::vector<CPortFrame> m_held; // by start, then port
};

} // namespace brivox
