#include "rules/Responder.h"

#include "support/PortTestSupport.h"
#include "util/WallClock.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

int64_t NowUs() {
    return CWallClock::SteadyUs(std::chrono::steady_clock::now());
}

struct CResponderRig {
    explicit CResponderRig(const std::string& text) {
        std::vector<CRule> rules;
        EXPECT_EQ(ParseRules(text, rules), "");
        responder = std::make_unique<CResponder>(
            std::move(rules),
            [this](const Bytes& bytes) {
                written.push_back(bytes);
                return writable;
            },
            [this](const CResponderEvent& event) { events.push_back(event); });
    }
    void Receive(const Bytes& bytes) { responder->Receive(bytes.data(), bytes.size(), NowUs()); }

    std::unique_ptr<CResponder> responder;
    std::vector<Bytes> written;
    std::vector<CResponderEvent> events;
    bool writable = true;
};

TEST(ResponderTest, AGapRuleAnswersOnceTheLineIsQuietAndADelayedAnswerWaits) {
    CResponderRig rig("rule frame\nmatch 05 *\nanswer 06\ngap 200\n"
                      "rule slow\nmatch 07\nanswer 08\ndelay 60\n");
    rig.Receive({0x05, 0x01});
    test::RunEventsUntil([] { return false; }, 20); // a pause shorter than the gap
    rig.Receive({0x02});
    EXPECT_TRUE(rig.written.empty()); // the line is not quiet yet
    ASSERT_TRUE(test::RunEventsUntil([&] { return rig.written.size() == 1; }, 2000));
    EXPECT_EQ(rig.events[0].hit.matched, Bytes({0x05, 0x01, 0x02}));
    EXPECT_GE(rig.events[0].latencyUs, 0);

    const int64_t sent = NowUs();
    rig.Receive({0x07});
    ASSERT_TRUE(test::RunEventsUntil([&] { return rig.written.size() == 2; }, 2000));
    EXPECT_GE(NowUs() - sent, 60000);
    EXPECT_EQ(rig.written[1], Bytes({0x08}));
    EXPECT_EQ(rig.responder->Stats()[1].answers, 1);
}

TEST(ResponderTest, TurnedOffItDropsAnswersNotYetSentAndAFailedWriteIsNoAnswer) {
    CResponderRig rig("rule slow\nmatch 07\nanswer 08\ndelay 30\n");
    rig.Receive({0x07});
    rig.responder->SetEnabled(false);
    rig.Receive({0x07});
    EXPECT_FALSE(test::RunEventsUntil([&] { return !rig.written.empty(); }, 150));
    EXPECT_EQ(rig.responder->Stats()[0].hits, 1);

    rig.responder->SetEnabled(true);
    rig.writable = false;
    rig.Receive({0x07});
    ASSERT_TRUE(test::RunEventsUntil([&] { return rig.events.size() == 1; }, 2000));
    EXPECT_FALSE(rig.events[0].written);
    EXPECT_EQ(rig.events[0].latencyUs, -1);
    EXPECT_EQ(rig.responder->Stats()[0].answers, 0);
}

} // namespace
} // namespace brivox
