#include "jobs/FxMLThreadPool.h"

#include "jobs/JobTestSupport.h"
#include "support/PostedMessageSink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace brivox {
namespace {

using test::CGate;
using test::MillisecondsSince;
using test::WaitUntil;
using Clock = std::chrono::steady_clock;

// Most tests run with an application object, as the program does: the pool's timers need the
// UI thread's event loop.
class ThreadPoolTest : public testing::Test {
protected:
    int m_argc = 1;
    char m_name[16] = "jobs_tests";
    char* m_argv[1] = {m_name};
    QCoreApplication m_app{m_argc, m_argv};
};

// A job that waits at the gate.
JobFunction WaitAt(const std::shared_ptr<CGate>& gate) {
    return [gate](COptionStore*) { gate->Wait(); };
}

TEST_F(ThreadPoolTest, StartReturnsOneAndASecondStartChangesNothing) {
    CFxMLThreadPool pool;
    EXPECT_EQ(pool.IsStarted(), 0);
    EXPECT_EQ(pool.GetTimerWindow(), nullptr);
    EXPECT_EQ(pool.Start(30, 10, 10), 1);
    EXPECT_EQ(pool.IsStarted(), 1);
    ASSERT_NE(pool.GetTimerWindow(), nullptr);
    EXPECT_TRUE(pool.GetTimerWindow()->HasTimer(CMLEventWnd::kSweepTimer));
    EXPECT_TRUE(pool.GetTimerWindow()->HasTimer(CMLEventWnd::kWatchdogTimer));
    EXPECT_EQ(pool.Start(5, 1, 1), 1);
    EXPECT_NE(pool.Submit(nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(pool.GetWorkerCount(), 30);
}

TEST_F(ThreadPoolTest, SubmitBeforeStartGivesNoHandleAndRunsNothing) {
    CFxMLThreadPool pool;
    std::atomic<int> ran{0};
    EXPECT_EQ(pool.Submit([&](COptionStore*) { ran = 1; }, nullptr, nullptr), 0u);
    EXPECT_EQ(pool.GetWorkerCount(), 0);
    EXPECT_EQ(pool.GetBusyCount(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ran.load(), 0);
}

TEST_F(ThreadPoolTest, AGrowCountOfZeroGivesNoWorker) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(0, 10, 10), 1);
    EXPECT_EQ(pool.Submit(nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(pool.GetWorkerCount(), 0);
}

TEST_F(ThreadPoolTest, TheFirstSubmitCreatesThirtyWorkersAndUsesTheLast) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    auto gate = std::make_shared<CGate>();

    const JobHandle first = pool.Submit(WaitAt(gate), nullptr, nullptr);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(pool.GetWorkerCount(), 30);
    const std::vector<JobHandle> handles = pool.GetWorkerHandles();
    EXPECT_EQ(first, handles.back()); // ids rise in creation order
    ASSERT_TRUE(WaitUntil([&] { return gate->Entered() == 1; }));
    EXPECT_EQ(pool.GetIdleCount(), 29);
    EXPECT_EQ(pool.IsJobRunning(first), 1);
    EXPECT_EQ(pool.GetBusyCount(), 1);

    // The next job, while the first runs, goes to one of the other 29 without new threads.
    const JobHandle second = pool.Submit(WaitAt(gate), nullptr, nullptr);
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_EQ(pool.GetWorkerCount(), 30);
    EXPECT_EQ(pool.GetWorkerHandles(), handles);
    ASSERT_TRUE(WaitUntil([&] { return gate->Entered() == 2; }));
    EXPECT_EQ(pool.GetBusyCount(), 2);
    EXPECT_EQ(pool.GetIdleCount(), 28);

    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    EXPECT_EQ(pool.IsJobRunning(first), 0);
    EXPECT_EQ(pool.IsJobRunning(second), 0);
    EXPECT_EQ(pool.GetIdleCount(), 30);
}

TEST_F(ThreadPoolTest, AnIdleWorkerIsReusedForEveryLaterJob) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    for (int i = 0; i < 100; ++i) {
        const JobHandle handle = pool.Submit(nullptr, nullptr, nullptr);
        ASSERT_NE(handle, 0u);
        ASSERT_TRUE(WaitUntil([&] { return pool.IsJobRunning(handle) == 0; }));
    }
    EXPECT_EQ(pool.GetWorkerCount(), 30);
}

TEST_F(ThreadPoolTest, TheWorkFunctionGetsItsOwnCopyOfTheRecord) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    COptionStore record;
    record.SetInt("zswdlg", 7);
    record.SetString("GOPT.text", "hello");

    auto seen = std::make_shared<COptionStore>();
    auto done = std::make_shared<std::atomic<int>>(0);
    const JobFunction work = [seen, done](COptionStore* values) {
        *seen = *values;
        values->SetInt("zswdlg", 8);
        done->store(1);
    };
    ASSERT_NE(pool.Submit(work, nullptr, &record), 0u);
    ASSERT_TRUE(WaitUntil([&] { return done->load() == 1; }));
    EXPECT_EQ(seen->GetInt("zswdlg", 0), 7);
    EXPECT_EQ(seen->GetString("GOPT.text"), "hello");
    EXPECT_EQ(record.GetInt("zswdlg", 0), 7); // the caller's record is untouched
}

TEST_F(ThreadPoolTest, AJobWithoutRecordGetsAnEmptyOneNotTheLastJobs) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(1, 10, 10), 1); // one worker, so both jobs run on it
    COptionStore record;
    record.SetInt("zswdlg", 7);
    auto sizes = std::make_shared<std::vector<size_t>>();
    const JobFunction work = [sizes](COptionStore* values) {
        sizes->push_back(values->GetEntries().size());
    };
    const JobHandle first = pool.Submit(work, nullptr, &record);
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    const JobHandle second = pool.Submit(work, nullptr, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    EXPECT_EQ(first, second);
    EXPECT_EQ(pool.GetWorkerCount(), 1);
    EXPECT_EQ(*sizes, (std::vector<size_t>{1, 0}));
}

TEST_F(ThreadPoolTest, ThePlainFunctionPointersOfTheProgramWork) {
    static std::atomic<int> calls{0};
    struct Host {
        static void Work(COptionStore* values) { calls += values->GetInt("ntbar", 0); }
    };
    calls = 0;
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    COptionStore record;
    record.SetInt("ntbar", 5);
    ASSERT_NE(pool.Submit(&Host::Work, nullptr, &record, nullptr, 0, 0, 4500), 0u);
    ASSERT_TRUE(WaitUntil([&] { return calls.load() == 5; }));
}

TEST_F(ThreadPoolTest, TheSweepStopsTwentyOfThirtyIdleWorkers) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    const int threadsBefore = CFxMLThreadPool::GetLiveThreadCount();
    const JobHandle handle = pool.Submit(nullptr, nullptr, nullptr);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    EXPECT_EQ(CFxMLThreadPool::GetLiveThreadCount(), threadsBefore + 30);

    pool.Sweep();
    EXPECT_EQ(pool.GetWorkerCount(), 10);
    EXPECT_EQ(pool.GetIdleCount(), 10);
    EXPECT_EQ(CFxMLThreadPool::GetLiveThreadCount(), threadsBefore + 10);

    pool.Sweep(); // at the limit: nothing more to trim
    EXPECT_EQ(pool.GetWorkerCount(), 10);
    EXPECT_EQ(pool.IsJobRunning(handle), 0);
}

TEST_F(ThreadPoolTest, TheSweepNeverStopsBusyWorkers) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    auto gate = std::make_shared<CGate>();
    std::vector<JobHandle> busy;
    for (int i = 0; i < 15; ++i)
        busy.push_back(pool.Submit(WaitAt(gate), nullptr, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return gate->Entered() == 15; }));
    EXPECT_EQ(pool.GetIdleCount(), 15);

    pool.Sweep(); // 15 idle, limit 10: five go
    EXPECT_EQ(pool.GetWorkerCount(), 25);
    EXPECT_EQ(pool.GetIdleCount(), 10);
    EXPECT_EQ(pool.GetBusyCount(), 15);
    for (JobHandle handle : busy)
        EXPECT_EQ(pool.IsJobRunning(handle), 1);

    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    EXPECT_EQ(pool.GetIdleCount(), 25);
    pool.Sweep();
    EXPECT_EQ(pool.GetWorkerCount(), 10);
}

TEST_F(ThreadPoolTest, IsJobRunningOfFinishedAndUnknownHandlesGivesZero) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    const JobHandle handle = pool.Submit(nullptr, nullptr, nullptr);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    EXPECT_EQ(pool.IsJobRunning(handle), 0);
    EXPECT_EQ(pool.IsJobRunning(0), 0);
    EXPECT_EQ(pool.IsJobRunning(0xFFFFFFFFu), 0);

    CFxMLThreadPool other;
    ASSERT_EQ(other.Start(30, 10, 10), 1);
    auto gate = std::make_shared<CGate>();
    const JobHandle elsewhere = other.Submit(WaitAt(gate), nullptr, nullptr);
    ASSERT_NE(elsewhere, 0u);
    EXPECT_EQ(other.IsJobRunning(elsewhere), 1);
    EXPECT_EQ(pool.IsJobRunning(elsewhere), 0); // ids are unique across pools
    gate->Open();
}

TEST_F(ThreadPoolTest, CompletionsRunOnTheUiThreadWithTheFinalRecordAtTheNextSweep) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    struct Call {
        std::string name;
        int result;
        std::thread::id thread;
    };
    auto calls = std::make_shared<std::vector<Call>>();
    const JobFunction work = [](COptionStore* values) {
        values->SetInt("result", values->GetInt("input", 0) * 2);
    };
    const JobFunction completion = [calls](COptionStore* values) {
        calls->push_back(
            {values->GetString("name"), values->GetInt("result", -1), std::this_thread::get_id()});
    };
    for (const auto& [name, input] : {std::pair{"first", 1}, std::pair{"second", 21}}) {
        COptionStore record;
        record.SetString("name", name);
        record.SetInt("input", input);
        ASSERT_NE(pool.Submit(work, completion, &record), 0u);
        ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; })); // fixes the order
    }
    EXPECT_TRUE(calls->empty()); // nothing before the sweep
    EXPECT_EQ(pool.GetPendingResultCount(), 2);

    pool.Sweep();
    ASSERT_EQ(calls->size(), 2u);
    EXPECT_EQ((*calls)[0].name, "first");
    EXPECT_EQ((*calls)[0].result, 2);
    EXPECT_EQ((*calls)[1].name, "second");
    EXPECT_EQ((*calls)[1].result, 42);
    EXPECT_EQ((*calls)[0].thread, std::this_thread::get_id());
    EXPECT_EQ(pool.GetPendingResultCount(), 0);

    pool.Sweep(); // each completion runs once
    EXPECT_EQ(calls->size(), 2u);
}

TEST_F(ThreadPoolTest, TheTimersSweepAndDeliverThroughTheEventLoop) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 1), 1);
    std::atomic<int> completed{0};
    std::thread::id completedOn;
    ASSERT_NE(pool.Submit(
                  nullptr,
                  [&](COptionStore*) {
                      completed = 1;
                      completedOn = std::this_thread::get_id();
                  },
                  nullptr),
              0u);
    QElapsedTimer timer;
    timer.start();
    while (completed.load() == 0 && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(completed.load(), 1);
    EXPECT_EQ(completedOn, std::this_thread::get_id());
    EXPECT_EQ(pool.GetWorkerCount(), 10); // the same sweep trimmed the idle workers
}

TEST_F(ThreadPoolTest, OtherTimerIdsDoNothing) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    ASSERT_NE(pool.Submit(nullptr, nullptr, nullptr), 0u);
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    pool.GetTimerWindow()->OnTimer(3);
    EXPECT_EQ(pool.GetWorkerCount(), 30);
    pool.GetTimerWindow()->OnTimer(CMLEventWnd::kSweepTimer);
    EXPECT_EQ(pool.GetWorkerCount(), 10);
}

TEST(ThreadPoolWithoutEventLoopTest, StartFailsAndJobsRunWithoutCompletions) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    CFxMLThreadPool pool;
    EXPECT_EQ(pool.Start(30, 10, 10), 0);
    EXPECT_EQ(pool.IsStarted(), 0);
    EXPECT_EQ(pool.GetTimerWindow(), nullptr);

    // The counts were taken, so a job still finds workers; it runs but is never completed.
    std::atomic<int> ran{0};
    int completed = 0;
    ASSERT_NE(
        pool.Submit([&](COptionStore*) { ran = 1; }, [&](COptionStore*) { ++completed; }, nullptr),
        0u);
    ASSERT_TRUE(WaitUntil([&] { return ran.load() == 1 && pool.GetBusyCount() == 0; }));
    EXPECT_EQ(pool.GetPendingResultCount(), 0);
    pool.Sweep();
    EXPECT_EQ(completed, 0);
}

TEST_F(ThreadPoolTest, TheWatchdogPostsOnceAndTheJobRunsOn) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    test::CPostedMessageSink sink;
    auto gate = std::make_shared<CGate>();
    const JobHandle watched = pool.Submit(WaitAt(gate), nullptr, nullptr, &sink, 0x1234, 77, 50);
    const JobHandle unwatched = pool.Submit(WaitAt(gate), nullptr, nullptr, nullptr, 0x1234, 1, 0);
    ASSERT_TRUE(WaitUntil([&] { return gate->Entered() == 2; }));

    pool.CheckTimeouts(); // not yet past its time-out (unless this machine is very slow)
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    pool.CheckTimeouts();
    pool.CheckTimeouts();
    QCoreApplication::processEvents();
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].message, 0x1234u);
    EXPECT_EQ(sink.Messages()[0].wParam, 77u);
    EXPECT_NE(sink.Messages()[0].lParam, 0);

    // Marked, not stopped: the job keeps its worker until it returns.
    EXPECT_EQ(pool.IsJobRunning(watched), 1);
    EXPECT_EQ(pool.IsJobRunning(unwatched), 1);
    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    EXPECT_EQ(pool.IsJobRunning(watched), 0);
}

TEST_F(ThreadPoolTest, TheWatchdogLeavesJobsWithinTheirTimeAlone) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    test::CPostedMessageSink sink;
    auto gate = std::make_shared<CGate>();
    ASSERT_NE(pool.Submit(WaitAt(gate), nullptr, nullptr, &sink, 0x1234, 0, 60000), 0u);
    pool.CheckTimeouts();
    QCoreApplication::processEvents();
    EXPECT_TRUE(sink.Messages().empty());
    gate->Open();
}

TEST_F(ThreadPoolTest, TerminateAllLetsBusyJobsGoAndForgetsEveryWorker) {
    const int threadsBefore = CFxMLThreadPool::GetLiveThreadCount();
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    auto gate = std::make_shared<CGate>();
    auto finished = std::make_shared<std::atomic<int>>(0);
    int completed = 0;
    const JobHandle busy = pool.Submit(
        [gate, finished](COptionStore*) {
            gate->Wait();
            finished->store(1);
        },
        [&](COptionStore*) { ++completed; }, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return gate->Entered() == 1; }));

    const auto start = Clock::now();
    pool.TerminateAll();
    EXPECT_LT(MillisecondsSince(start), 2000.0);
    EXPECT_EQ(pool.GetWorkerCount(), 0);
    EXPECT_EQ(pool.GetBusyCount(), 0);
    EXPECT_EQ(pool.GetIdleCount(), 0);
    EXPECT_EQ(pool.IsJobRunning(busy), 0);
    EXPECT_EQ(CFxMLThreadPool::GetLiveThreadCount(), threadsBefore + 1); // the busy one

    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return CFxMLThreadPool::GetLiveThreadCount() == threadsBefore; }));
    EXPECT_EQ(finished->load(), 1);
    pool.Sweep();
    EXPECT_EQ(completed, 0); // a let-go job is never completed

    // The pool takes jobs again with a fresh batch.
    EXPECT_NE(pool.Submit(nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(pool.GetWorkerCount(), 30);
}

// The sanitizer run checks that nothing here touches freed memory: the job keeps using its own
// record and the state it shares with the test after the pool is gone.
TEST_F(ThreadPoolTest, AJobOutlivesItsPoolWithoutHarm) {
    struct Shared {
        CGate gate;
        std::atomic<int> finished{0};
        std::string seen;
    };
    auto shared = std::make_shared<Shared>();
    const int threadsBefore = CFxMLThreadPool::GetLiveThreadCount();
    {
        auto pool = std::make_unique<CFxMLThreadPool>();
        ASSERT_EQ(pool->Start(30, 10, 10), 1);
        pool->SetShutdownMode("terminate");
        COptionStore record;
        record.SetString("message", "still here");
        ASSERT_NE(pool->Submit(
                      [shared](COptionStore* values) {
                          shared->gate.Wait();
                          values->SetInt("touched", 1);
                          shared->seen = values->GetString("message");
                          shared->finished = 1;
                      },
                      [shared](COptionStore*) { shared->seen = "completed"; }, &record),
                  0u);
        ASSERT_TRUE(WaitUntil([&] { return shared->gate.Entered() == 1; }));
        const auto start = Clock::now();
        pool.reset();
        EXPECT_LT(MillisecondsSince(start), 2000.0);
    }
    EXPECT_EQ(shared->finished.load(), 0);
    shared->gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return CFxMLThreadPool::GetLiveThreadCount() == threadsBefore; }));
    EXPECT_EQ(shared->finished.load(), 1);
    EXPECT_EQ(shared->seen, "still here");
}

TEST_F(ThreadPoolTest, TheInfiniteShutdownWaitsForJobsAndCompletesThem) {
    auto finished = std::make_shared<std::atomic<int>>(0);
    int completed = 0;
    const int threadsBefore = CFxMLThreadPool::GetLiveThreadCount();
    {
        CFxMLThreadPool pool;
        EXPECT_EQ(pool.GetShutdownMode(), "infinite");
        ASSERT_EQ(pool.Start(30, 10, 10), 1);
        auto started = std::make_shared<std::atomic<int>>(0);
        ASSERT_NE(pool.Submit(
                      [finished, started](COptionStore* values) {
                          started->store(1);
                          std::this_thread::sleep_for(std::chrono::milliseconds(150));
                          values->SetInt("done", 1);
                          finished->store(1);
                      },
                      [&](COptionStore* values) { completed += values->GetInt("done", 0); },
                      nullptr),
                  0u);
        ASSERT_TRUE(WaitUntil([&] { return started->load() == 1; }));
    }
    EXPECT_EQ(finished->load(), 1);
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(CFxMLThreadPool::GetLiveThreadCount(), threadsBefore);
}

TEST_F(ThreadPoolTest, AnyOtherShutdownModeLetsEveryWorkerGo) {
    const int threadsBefore = CFxMLThreadPool::GetLiveThreadCount();
    auto gate = std::make_shared<CGate>();
    {
        CFxMLThreadPool pool;
        ASSERT_EQ(pool.Start(30, 10, 10), 1);
        pool.SetShutdownMode("none");
        ASSERT_NE(pool.Submit(WaitAt(gate), nullptr, nullptr), 0u);
        ASSERT_TRUE(WaitUntil([&] { return gate->Entered() == 1; }));
    }
    gate->Open();
    EXPECT_TRUE(WaitUntil([&] { return CFxMLThreadPool::GetLiveThreadCount() == threadsBefore; }));
}

TEST_F(ThreadPoolTest, ManyShortJobsWithSweepsBetweenKeepTheCountsRight) {
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    const int jobs = 3000;
    auto ran = std::make_shared<std::atomic<int>>(0);
    int completed = 0;
    for (int i = 0; i < jobs; ++i) {
        COptionStore record;
        record.SetInt("i", i);
        const JobHandle handle = pool.Submit(
            [ran](COptionStore* values) {
                values->SetInt("i", values->GetInt("i", 0) + 1);
                ran->fetch_add(1);
            },
            [&completed](COptionStore*) { ++completed; }, &record);
        ASSERT_NE(handle, 0u);
        if (i % 97 == 0)
            pool.Sweep();
    }
    ASSERT_TRUE(WaitUntil([&] { return ran->load() == jobs && pool.GetBusyCount() == 0; }));
    pool.Sweep();
    EXPECT_EQ(completed, jobs);
    EXPECT_EQ(pool.GetIdleCount(), pool.GetWorkerCount());
    EXPECT_LE(pool.GetWorkerCount(), 10);
}

} // namespace
} // namespace brivox
