#include "session/SessionSender.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

// Records reports and writes; clears the active flag after a given number of reports.
class CBlockHost : public CScriptHost {
public:
    explicit CBlockHost(int stopAfter) : m_stopAfter(stopAfter) { m_state.SetSending(true); }

    int32_t ReadIntOption(const std::string&, int32_t fallback) override { return fallback; }
    bool WriteToPort(const uint8_t* data, int32_t count) override {
        writes.emplace_back(data, data + count);
        return true;
    }
    void SetRts(bool) override {}
    void Report(uint8_t byte, ByteReport kind) override {
        EXPECT_EQ(kind, ByteReport::Sent);
        reported.push_back(byte);
        if (static_cast<int>(reported.size()) == m_stopAfter)
            active.store(0);
    }
    CScriptRunState& RunState() override { return m_state; }

    std::atomic<int> active{1};
    std::vector<uint8_t> reported;
    std::vector<std::vector<uint8_t>> writes;

private:
    int m_stopAfter;
    CScriptRunState m_state;
};

TEST(SessionSenderTest, ATestBlockIsWrittenOnlyWhenWhole) {
    CBlockHost whole(-1);
    RunTestBlock(whole, whole.active);
    ASSERT_EQ(whole.writes.size(), 1u);
    EXPECT_EQ(whole.writes[0], whole.reported);
    ASSERT_EQ(whole.reported.size(), 1024u);
    for (const size_t i : {0u, 1u, 255u, 256u, 257u, 512u, 768u, 1023u})
        EXPECT_EQ(whole.reported[i], i % 256 == 0 ? i / 256 : i % 256) << i;

    CBlockHost stopped(500);
    RunTestBlock(stopped, stopped.active);
    EXPECT_EQ(stopped.reported.size(), 500u);
    EXPECT_TRUE(stopped.writes.empty());
}

} // namespace
} // namespace brivox
