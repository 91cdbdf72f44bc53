#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// The packets of a capture that a replay writes again, each at its offset from the first.
struct CReplayPlan {
    enum class Direction { Rx, Tx, Both };

    struct CItem {
        int64_t offsetUs = 0;
        std::vector<uint8_t> bytes;
    };
    std::vector<CItem> items;
    int64_t bytes = 0;
    int64_t foreign = 0; // packets of interfaces that carry no serial bytes, left out
    std::string warning; // the file was cut or damaged: what was read before that is replayed
};

// The packets of the pcapng file that go the direction given and, unless port is empty, were
// recorded on that port (an interface named "COM5 rx" or "COM5 tx" is COM5's). A packet's
// direction is its flags' or, without them, its interface's; one with neither goes only with
// Both. Times that run backwards are taken as no gap. An error text.
std::string PlanReplay(const std::string& path, CReplayPlan::Direction direction,
                       const std::string& port, CReplayPlan& plan);

} // namespace brivox
