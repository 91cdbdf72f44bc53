// Costs of the job pool: the CPU that idle started pools use, and the time from Submit to the
// work function starting.
// Run: build/bench/bench_jobs [idle seconds, default 10]
#include "BenchSupport.h"
#include "jobs/FxMLThreadPool.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long VoluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

void WaitIdle(const brivox::CFxMLThreadPool& pool) {
    while (pool.GetBusyCount() != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Three started pools of 30 idle workers each (idle limit 30, so the sweep keeps them), timers
// running, over the window: CPU of the whole process as a share of one core.
void BenchIdlePools(int seconds) {
    std::vector<std::unique_ptr<brivox::CFxMLThreadPool>> pools;
    for (int i = 0; i < 3; ++i) {
        auto pool = std::make_unique<brivox::CFxMLThreadPool>();
        pool->Start(30, 30, 10);
        pool->Submit(nullptr, nullptr, nullptr);
        WaitIdle(*pool);
        pools.push_back(std::move(pool));
    }
    int workers = 0;
    for (const auto& pool : pools)
        workers += pool->GetWorkerCount();

    const double cpuBefore = brivox::bench::ProcessCpuSeconds();
    const long switchesBefore = VoluntarySwitches();
    const auto start = Clock::now();
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = brivox::bench::ProcessCpuSeconds() - cpuBefore;
    std::printf("idle pools: 3 started pools, %d idle workers, %.1f s: CPU %.3f ms = %.4f %% of "
                "one core (limit 0.5 %%), %ld context switches\n",
                workers, wall, cpu * 1e3, cpu / wall * 100.0, VoluntarySwitches() - switchesBefore);
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
    return values[index];
}

// Submit on this (the UI) thread to the first line of the work function on a worker, one job at a
// time on a pool whose workers exist already and sleep: each round lets the last worker go back
// to its wait before the next Submit.
void BenchSubmitLatency() {
    brivox::CFxMLThreadPool pool;
    pool.Start(30, 10, 10);

    const auto firstStart = Clock::now();
    auto firstStarted = std::make_shared<std::atomic<int64_t>>(0);
    pool.Submit(
        [firstStarted](brivox::COptionStore*) {
            firstStarted->store(Clock::now().time_since_epoch().count());
        },
        nullptr, nullptr);
    WaitIdle(pool);
    const double firstMs =
        std::chrono::duration<double, std::milli>(
            Clock::time_point(Clock::duration(firstStarted->load())) - firstStart)
            .count();

    const int rounds = 2000;
    std::vector<double> micros;
    micros.reserve(rounds);
    auto started = std::make_shared<std::atomic<int64_t>>(0);
    brivox::COptionStore record;
    record.SetInt("zswdlg", 1);
    record.SetString("GOPT.text", "41 42 [06]");
    for (int i = 0; i < rounds; ++i) {
        started->store(0);
        const auto submitted = Clock::now();
        pool.Submit(
            [started](brivox::COptionStore*) {
                started->store(Clock::now().time_since_epoch().count());
            },
            nullptr, &record);
        while (started->load() == 0)
            std::this_thread::yield();
        micros.push_back(std::chrono::duration<double, std::micro>(
                             Clock::time_point(Clock::duration(started->load())) - submitted)
                             .count());
        WaitIdle(pool);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::printf("submit to work start: %d jobs: median %.1f us, p90 %.1f us, p99 %.1f us, "
                "max %.1f us (limit: median 1 ms); first submit with its batch of 30 threads "
                "%.2f ms\n",
                rounds, Percentile(micros, 0.5), Percentile(micros, 0.9), Percentile(micros, 0.99),
                Percentile(micros, 1.0), firstMs);
}

// Many short jobs submitted back to back, completions delivered by sweeps.
void BenchThroughput() {
    brivox::CFxMLThreadPool pool;
    pool.Start(30, 10, 10);
    const int jobs = 200000;
    auto ran = std::make_shared<std::atomic<int>>(0);
    int completed = 0;
    const auto start = Clock::now();
    for (int i = 0; i < jobs; ++i) {
        pool.Submit([ran](brivox::COptionStore*) { ran->fetch_add(1); },
                    [&completed](brivox::COptionStore*) { ++completed; }, nullptr);
        if (i % 1000 == 999)
            pool.DeliverResults();
    }
    while (ran->load() != jobs)
        std::this_thread::yield();
    WaitIdle(pool);
    pool.DeliverResults();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("throughput: %d short jobs with completions: %.0f jobs/s, %d workers at the "
                "end\n",
                completed, jobs / seconds, pool.GetWorkerCount());
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QCoreApplication app(argc, argv);
    BenchSubmitLatency();
    BenchThroughput();
    BenchIdlePools(seconds);
    return 0;
}
