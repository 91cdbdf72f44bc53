#include "session/LineTurn.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace brivox {
namespace {

using namespace std::chrono_literals;

const auto kNever = [] { return false; };

TEST(LineTurnTest, APollTakesTheLineOnlyWhenFreeAndNoJobWaits) {
    CLineTurn turn;
    int freed = 0;
    const int listener = turn.AddFreeListener([&freed] { ++freed; });
    ASSERT_TRUE(turn.TryAcquire());
    EXPECT_FALSE(turn.TryAcquire());

    std::atomic<bool> jobHasIt{false};
    std::thread job([&] {
        ASSERT_TRUE(turn.Acquire(kNever, 5s));
        jobHasIt = true;
        std::this_thread::sleep_for(20ms);
        turn.Release();
    });
    std::this_thread::sleep_for(200ms); // the job is waiting by then
    turn.Release();
    EXPECT_EQ(freed, 1);
    while (!jobHasIt)
        EXPECT_FALSE(turn.TryAcquire()) << "a waiting job goes first";
    job.join();
    EXPECT_EQ(freed, 2);
    turn.RemoveFreeListener(listener);
    EXPECT_TRUE(turn.TryAcquire());
    turn.Release();
    EXPECT_EQ(freed, 2);
}

TEST(LineTurnTest, AJobsAnswerKeepsThePollOffTheLineButNotTheNextJob) {
    CLineTurn turn;
    ASSERT_TRUE(turn.Acquire(kNever, 1s));
    turn.ReleaseAfterAnswer(200ms, 10s);
    EXPECT_FALSE(turn.TryAcquire()) << "the answer may still come";
    turn.Heard();
    EXPECT_FALSE(turn.TryAcquire());
    std::this_thread::sleep_for(250ms);
    EXPECT_TRUE(turn.TryAcquire()) << "the answer came and the line went quiet";
    turn.Release();

    ASSERT_TRUE(turn.Acquire(kNever, 1s));
    turn.ReleaseAfterAnswer(5ms, 40ms);
    EXPECT_LE(turn.AnswerDue(), CLineTurn::Clock::now() + 40ms);
    EXPECT_TRUE(turn.Acquire(kNever, 0ms)) << "the next job does not wait for the answer";
    turn.ReleaseAfterAnswer(5ms, 30ms);
    std::this_thread::sleep_for(35ms);
    EXPECT_TRUE(turn.TryAcquire()) << "no answer: the poll goes on after the patience";
    EXPECT_EQ(turn.AnswerDue(), CLineTurn::Clock::time_point::max());

    EXPECT_FALSE(turn.Acquire([] { return true; }, 5s)) << "a stopped job gives up at once";
}

} // namespace
} // namespace brivox
