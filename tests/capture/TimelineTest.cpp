// The two-port timeline, the pairing of replies with requests, and the plan of a replay.
#include "capture/PcapngWriter.h"
#include "capture/PortTimeline.h"
#include "capture/ReplayPlan.h"
#include "capture/ReplyPairing.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

CLineFrame FrameAt(int64_t startUs, int64_t endUs) {
    CLineFrame frame;
    frame.startUs = startUs;
    frame.endUs = endUs;
    frame.bytes = {0x01};
    return frame;
}

std::vector<std::pair<size_t, int64_t>> Starts(const std::vector<CPortTimeline::CPortFrame>& out) {
    std::vector<std::pair<size_t, int64_t>> starts;
    for (const CPortTimeline::CPortFrame& frame : out)
        starts.emplace_back(frame.port, frame.frame.startUs);
    return starts;
}

TEST(PortTimelineTest, AFrameWaitsForAnyPortThatMayStillBringAnEarlierOne) {
    constexpr int64_t kNothing = CPortTimeline::kNothing;
    constexpr int64_t kUnknown = CPortTimeline::kUnknown;
    const struct {
        const char* what;
        std::vector<int64_t> earliest; // of ports 0 and 1
        std::vector<std::pair<size_t, int64_t>> released;
    } cases[] = {
        {"port 1 idle: both of port 0 go", {kNothing, kNothing}, {{0, 100}, {0, 300}}},
        {"port 1 began at 200: only the first", {kNothing, 200}, {{0, 100}}},
        {"port 1 began at 50: none", {kNothing, 50}, {}},
        {"port 1 has bytes of unknown time: none", {kNothing, kUnknown}, {}},
        {"port 1 began with the first: port 0 first", {kNothing, 100}, {{0, 100}}},
    };
    for (const auto& c : cases) {
        CPortTimeline timeline;
        timeline.Add(0, {FrameAt(100, 150), FrameAt(300, 350)});
        EXPECT_EQ(Starts(timeline.Release(c.earliest)), c.released) << c.what;
    }
    CPortTimeline timeline;
    timeline.Add(0, {FrameAt(100, 150), FrameAt(300, 350)});
    timeline.Add(1, {FrameAt(200, 250), FrameAt(100, 120)});
    const std::vector<std::pair<size_t, int64_t>> merged = {{0, 100}, {1, 100}, {1, 200}, {0, 300}};
    EXPECT_EQ(Starts(timeline.ReleaseAll()), merged);
}

CModbusFrameInfo Info(CModbusFrameInfo::Kind kind, int slave, int function) {
    CModbusFrameInfo info;
    info.kind = kind;
    info.slave = slave;
    info.function = function;
    return info;
}

TEST(ReplyPairingTest, AReplyPairsWithTheLastRequestOfItsSlaveAndFunctionOnAnyPort) {
    using Kind = CModbusFrameInfo::Kind;
    CReplyPairing pairing;
    EXPECT_EQ(pairing.Note("A", FrameAt(0, 900), Info(Kind::Request, 1, 3)).replyUs, -1);
    EXPECT_EQ(pairing.Note("B", FrameAt(1000, 1300), Info(Kind::Reply, 2, 3)).replyUs, -1)
        << "another slave";
    const CReplyPairing::CPair pair =
        pairing.Note("B", FrameAt(5900, 6400), Info(Kind::Reply, 1, 3));
    EXPECT_EQ(pair.replyUs, 5000);
    EXPECT_EQ(pair.requestPort, "A");
    EXPECT_EQ(pairing.Note("B", FrameAt(7000, 7300), Info(Kind::Reply, 1, 3)).replyUs, -1)
        << "answered already";
    pairing.Note("A", FrameAt(8000, 8500), Info(Kind::Request, 1, 6));
    EXPECT_EQ(pairing.Note("B", FrameAt(8700, 8900), Info(Kind::Exception, 1, 0x86)).replyUs, 200);
    EXPECT_EQ(pairing.Pairs(), 2);
    EXPECT_EQ(pairing.ShortestUs(), 200);
    EXPECT_EQ(pairing.LongestUs(), 5000);
}

TEST(ReplayPlanTest, PacketsAreChosenByDirectionAndPortAtTheirOffsets) {
    const test::CTempFolder folder;
    const std::string path = folder.Path("c.pcapng");
    {
        CPcapngWriter writer({0, 1'000'000});
        ASSERT_EQ(writer.Open(path), "");
        const uint8_t bytes[] = {1, 2, 3};
        writer.Write("COM5", PacketDirection::Outbound, 1000, {bytes, nullptr, 3});
        writer.Write("COM5", PacketDirection::Inbound, 4000, {bytes, nullptr, 2});
        writer.Write("COM5", PacketDirection::Unknown, 5000, {}, "device lost");
        writer.Write("COM6", PacketDirection::Inbound, 3000, {bytes, nullptr, 1}); // backwards
        writer.Write("COM5", PacketDirection::Outbound, 9000, {bytes, nullptr, 1});
    }
    using Direction = CReplayPlan::Direction;
    const struct {
        Direction direction;
        const char* port;
        std::vector<int64_t> offsets;
        int64_t bytes;
    } cases[] = {
        {Direction::Both, "", {0, 3000, 3000, 8000}, 7},
        {Direction::Tx, "", {0, 8000}, 4},
        {Direction::Rx, "", {0, 0}, 3},
        {Direction::Both, "COM6", {0}, 1},
    };
    for (const auto& c : cases) {
        CReplayPlan plan;
        ASSERT_EQ(PlanReplay(path, c.direction, c.port, plan), "");
        std::vector<int64_t> offsets;
        for (const CReplayPlan::CItem& item : plan.items)
            offsets.push_back(item.offsetUs);
        EXPECT_EQ(offsets, c.offsets) << c.port;
        EXPECT_EQ(plan.bytes, c.bytes) << c.port;
        EXPECT_EQ(plan.warning, "");
    }
}

} // namespace
} // namespace brivox
