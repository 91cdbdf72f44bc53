#include "script/ScriptExecutor.h"

#include "options/OptionKeys.h"
#include "script/JPScript.h"
#include "support/TempFolder.h"
#include "support/TraceCapture.h"
#include "util/Text.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

namespace brivox {
namespace {

using Clock = std::chrono::steady_clock;

// A session stand-in: records reports, writes and RTS changes in one timeline, and can answer
// each write with scripted reply bytes, as a device on the line would.
class CFakeHost : public CScriptHost {
public:
    std::map<std::string, int32_t> options;
    std::vector<uint8_t> replyOnWrite;

    int32_t ReadIntOption(const std::string& name, int32_t fallback) override {
        const auto found = options.find(name);
        return found == options.end() ? fallback : found->second;
    }
    bool WriteToPort(const uint8_t* data, int32_t count) override {
        Log("write " + HexPairs({data, data + count}));
        writeTimes.push_back(Clock::now());
        if (!replyOnWrite.empty())
            m_state.OnReceived(replyOnWrite.data(), static_cast<int32_t>(replyOnWrite.size()));
        return true;
    }
    void SetRts(bool raised) override { Log(raised ? "rts on" : "rts off"); }
    void Report(uint8_t byte, ByteReport kind) override {
        Log("report " + HexPairs({byte}) + " " + std::to_string(static_cast<int>(kind)));
    }
    CScriptRunState& RunState() override { return m_state; }

    std::vector<std::string> Timeline() {
        const std::lock_guard lock(m_mutex);
        return m_timeline;
    }

    std::vector<Clock::time_point> writeTimes;

private:
    void Log(const std::string& line) {
        const std::lock_guard lock(m_mutex);
        m_timeline.push_back(line);
    }

    std::mutex m_mutex;
    std::vector<std::string> m_timeline;
    CScriptRunState m_state;
};

std::vector<CJPItem> Compile(const char* detail) {
    COptionStore options;
    CJPScript script(options);
    EXPECT_TRUE(script.CompileDetail(detail).Succeeded()) << detail;
    return script.Items();
}

RunOutcome RunScript(CFakeHost& host, const char* detail) {
    host.RunState().SetSending(true);
    return JPExecute(Compile(detail), host, true);
}

using Lines = std::vector<std::string>;

TEST(ScriptExecutor, ReportsInOrderAndComparesTheReply) {
    const struct {
        const char* script;
        std::vector<uint8_t> reply;
        RunOutcome outcome;
        Lines timeline;
    } cases[] = {
        {"05 <06 00 10>",
         {6, 0, 0x10},
         RunOutcome::Completed,
         {"report 05 1", "write 05", "report 06 2", "report 00 2", "report 10 2"}},
        {"05 <06 00 10> 07",
         {6, 1, 0x10},
         RunOutcome::Mismatch,
         {"report 05 1", "write 05", "report 06 2", "report 01 0", "report 10 2"}},
        {"41 <06> 42", {0x15}, RunOutcome::Mismatch, {"report 41 1", "write 41", "report 15 0"}},
        {"41 42 <06>",
         {6, 7, 8},
         RunOutcome::Completed,
         {"report 41 1", "report 42 1", "write 41 42", "report 06 2"}},
        {"41 42", {}, RunOutcome::Completed, {"report 41 1", "report 42 1", "write 41 42"}},
    };
    for (const auto& c : cases) {
        CFakeHost host;
        host.replyOnWrite = c.reply;
        EXPECT_EQ(RunScript(host, c.script), c.outcome) << c.script;
        EXPECT_EQ(host.Timeline(), c.timeline) << c.script;
    }
}

TEST(ScriptExecutor, LongerAnswersStayInTheBufferUntilTheNextSendBeforeAReply) {
    CFakeHost host;
    host.replyOnWrite = {6, 7, 8};
    EXPECT_EQ(RunScript(host, "41 <06>"), RunOutcome::Completed);
    EXPECT_EQ(host.RunState().ResponseLength(), 3);
    host.replyOnWrite = {9};
    EXPECT_EQ(RunScript(host, "42 <09>"), RunOutcome::Completed) << "emptied before 42 left";
    EXPECT_EQ(host.RunState().ResponseLength(), 1);
}

TEST(ScriptExecutor, ARunStartingWithAnExpectGroupReadsWhatIsThere) {
    CFakeHost host;
    host.RunState().BeginCapture();
    const uint8_t earlier[] = {0x06, 0x99};
    host.RunState().OnReceived(earlier, 2);
    EXPECT_EQ(RunScript(host, "<06> 41"), RunOutcome::Completed);
    EXPECT_EQ(host.Timeline(), (Lines{"report 06 2", "report 41 1", "write 41"}));
}

TEST(ScriptExecutor, BytesAreOnlyCapturedOnceASendPrecedesAReply) {
    CScriptRunState state;
    const uint8_t bytes[] = {1, 2, 3};
    state.OnReceived(bytes, 3);
    EXPECT_EQ(state.ResponseLength(), 0);
    state.BeginCapture();
    state.OnReceived(bytes, 3);
    EXPECT_EQ(state.ResponseBytes(2), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(state.ResponseLength(), 3) << "reading does not consume";

    std::vector<uint8_t> flood(CScriptRunState::kResponseLimit, 0xAA);
    state.OnReceived(flood.data(), static_cast<int32_t>(flood.size()));
    EXPECT_EQ(state.ResponseLength(), CScriptRunState::kResponseLimit) << "bounded at 1 MiB";
}

TEST(ScriptExecutor, RtsIsRaisedAroundEverySendItemEvenAnEmptyOne) {
    CFakeHost host;
    host.options[opt::kRtsWhileSending] = 1;
    host.replyOnWrite = {6};
    EXPECT_EQ(RunScript(host, "01 <06> 02"), RunOutcome::Completed);
    EXPECT_EQ(host.Timeline(), (Lines{"rts on", "report 01 1", "write 01", "rts off", "report 06 2",
                                      "rts on", "report 02 1", "write 02", "rts off"}));

    test::CTempFolder folder;
    test::WriteTestFile(folder.Path("empty"), "");
    const int fd = open(folder.Path("empty").c_str(), O_RDONLY);
    COptionStore options;
    CJPScript script(options);
    int count = -1;
    ASSERT_EQ(script.CompileFile(fd, true, count), "");
    close(fd);
    EXPECT_EQ(count, 0);
    CFakeHost empty;
    empty.options[opt::kRtsWhileSending] = 1;
    empty.RunState().SetSending(true);
    EXPECT_EQ(JPExecute(script.Items(), empty, true), RunOutcome::EmptySendItem);
    EXPECT_EQ(empty.Timeline(), (Lines{"rts on", "rts off"}));
}

TEST(ScriptExecutor, TheDelayPacesEachByteAfterAllAreReported) {
    CFakeHost host;
    host.options[opt::kByteDelay] = 100;
    EXPECT_EQ(RunScript(host, "01 02 03"), RunOutcome::Completed);
    EXPECT_EQ(host.Timeline(), (Lines{"report 01 1", "report 02 1", "report 03 1", "write 01",
                                      "write 02", "write 03"}));
    ASSERT_EQ(host.writeTimes.size(), 3u);
    for (size_t i = 1; i < 3; ++i)
        EXPECT_GE(host.writeTimes[i] - host.writeTimes[i - 1], std::chrono::milliseconds(100));
}

TEST(ScriptExecutor, ClearingTheSendingFlagStopsAWaitingRun) {
    CFakeHost host;
    host.RunState().SetSending(true);
    const std::vector<CJPItem> items = Compile("41 <06>");
    auto run = std::async(std::launch::async, [&] { return JPExecute(items, host, true); });
    EXPECT_EQ(run.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout)
        << "waits for a reply that never comes";
    host.RunState().SetSending(false);
    ASSERT_EQ(run.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(run.get(), RunOutcome::Stopped);

    // A paced write stops too.
    CFakeHost paced;
    paced.options[opt::kByteDelay] = 500;
    paced.RunState().SetSending(true);
    const std::vector<CJPItem> many = Compile("01 02 03 04 05 06");
    auto slow = std::async(std::launch::async, [&] { return JPExecute(many, paced, true); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    paced.RunState().SetSending(false);
    ASSERT_EQ(slow.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_LT(paced.writeTimes.size(), 6u);
}

TEST(ScriptExecutor, NothingRunsWhileTheFlagIsClear) {
    CFakeHost host;
    EXPECT_EQ(JPExecute(Compile("41 42"), host, true), RunOutcome::Stopped);
    EXPECT_TRUE(host.Timeline().empty());
    host.RunState().SetSending(true);
    EXPECT_EQ(JPExecute(Compile("41"), host, false), RunOutcome::Completed);
    EXPECT_EQ(host.Timeline(), (Lines{"write 41"})) << "no sent reports without postSent";
}

TEST(ScriptExecutor, CheckpointsGoToTheTrace) {
    const test::CTraceCapture trace;
    CFakeHost host;
    host.replyOnWrite = {6};
    EXPECT_EQ(RunScript(host, "41 <06>"), RunOutcome::Completed);
    EXPECT_EQ(trace.Lines(),
              (Lines{"JPExecute 1.0", "JPExecute 2.0", "JPExecute 3.0", "JPExecute 4.0",
                     "JPExecute 2.0", "JPExecute 3.0", "JPExecute 5.0"}));
}

} // namespace
} // namespace brivox
