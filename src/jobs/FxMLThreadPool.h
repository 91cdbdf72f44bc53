#pragma once

#include "options/OptionStore.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QTimerEvent;

namespace brivox {

// Work and completion functions take the job's value record. A plain function pointer converts
// to it; a lambda may capture what the job needs (a std::shared_ptr to the state it shares with
// its host, so that the state lives as long as the job, whichever ends first).
using JobFunction = std::function<void(COptionStore* values)>;

// Names a running job: the id of the worker that runs it, never 0. Ids are unique in the process
// (a worker keeps its id for life), so a handle never names another pool's worker.
using JobHandle = uint32_t;

// A completion function with its value record: the job a worker holds, and an entry of the
// results queue once the job has ended.
class CFxMLJob {
public:
    CFxMLJob() = default;
    CFxMLJob(JobFunction completionFunction, const COptionStore& valueRecord)
        : completion(std::move(completionFunction)), values(valueRecord) {}
    virtual ~CFxMLJob() = default;

    JobFunction completion;
    COptionStore values;
};

class CFxMLThreadPool;
struct CFxMLPoolShared;

// One worker thread of a pool. It sleeps on a condition variable while it has no job and wakes
// when a job is handed to it or it is told to stop; it runs each job to its end. Only the pool
// creates, stops and forgets workers.
class CFxMLThread {
public:
    ~CFxMLThread();
    CFxMLThread(const CFxMLThread&) = delete;
    CFxMLThread& operator=(const CFxMLThread&) = delete;

    JobHandle GetThreadId() const { return m_threadId; }
    bool HasJob() const { return m_hasJob.load(std::memory_order_acquire); }
    bool IsStopping() const { return m_stop.load(std::memory_order_acquire); }
    bool IsTimedOut() const { return m_timedOut; }

private:
    friend class CFxMLThreadPool;

    CFxMLThread(std::shared_ptr<CFxMLPoolShared> shared, JobHandle id);

    // Starts the thread; false (and no thread) when the system refuses one.
    static bool Launch(const std::shared_ptr<CFxMLThread>& worker);
    void JobLoop();
    void RunJob();
    void RequestStop();
    void Join();
    void Detach();

    // The job, written by Submit before has-job is set and read by the worker after it sees it.
    CFxMLJob m_job;
    JobFunction m_work;
    // The part of its pool a worker reaches: counts and results, kept alive by the worker too.
    std::shared_ptr<CFxMLPoolShared> m_shared;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hasJob{false};
    uint32_t m_submitTick = 0;
    QPointer<QObject> m_notifyTarget;
    uint32_t m_notifyMessage = 0;
    uintptr_t m_notifyWParam = 0;
    bool m_timedOut = false;
    int m_timeoutMs = 4500;

    // Guarded by m_shared->mutex: whether this worker is one of the pool's idle count, and
    // whether the pool has let go of it (then the worker leaves the pool's state alone).
    bool m_countedIdle = false;
    bool m_abandoned = false;

    JobHandle m_threadId;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    std::thread m_thread;
};

// The hidden timer owner of a pool, a QObject on the thread that started the pool: timer 1 runs
// the sweep, timer 2 the watchdog.
class CMLEventWnd : public QObject {
public:
    static constexpr int kSweepTimer = 1;
    static constexpr int kWatchdogTimer = 2;

    explicit CMLEventWnd(CFxMLThreadPool* pool);
    ~CMLEventWnd() override;

    // False when this thread runs no event loop that could deliver timers (no QCoreApplication).
    static bool CanCreate();

    // Starts (or restarts) the timer with the program's id; periods under 10 ms count as 10 ms.
    bool SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool HasTimer(int id) const;

    // What a tick of the timer with the program's id does.
    void OnTimer(int id);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    CFxMLThreadPool* m_pool;
    std::map<int, int> m_qtTimers; // program id -> Qt timer id
};

// Runs jobs on a set of pre-created worker threads. Every operation belongs to the thread that
// called Start (the UI thread); work functions run on the workers and completion functions back
// on the UI thread at the sweep after the job ended.
//
// Workers come in batches of the grow count when a job finds no idle worker, and idle workers
// above the idle limit are stopped at each sweep; busy ones never are.
//
// Lifetime: a thread cannot be killed safely, so TerminateAll and the "terminate" shutdown mode
// stop waiting for busy workers and let them go: each ends by itself when its job returns, and
// the pool forgets it at once (its completion function is never called). Anything a job touches
// must therefore outlive the job, not just the pool: share it with the job (std::shared_ptr) or
// keep it for the life of the program.
class CFxMLThreadPool {
public:
    static constexpr int kDefaultTimeoutMs = 4500;

    CFxMLThreadPool();
    virtual ~CFxMLThreadPool();
    CFxMLThreadPool(const CFxMLThreadPool&) = delete;
    CFxMLThreadPool& operator=(const CFxMLThreadPool&) = delete;

    // Creates the timer window and its timers: 1 when started (also when it already was: the
    // second call changes nothing), 0 when no timer window can exist on this thread.
    int Start(int growCount, int idleLimit, int sweepPeriodSeconds);

    // Hands a job to an idle worker, creating a batch of workers when none is idle. The record is
    // copied (a null one gives the job an empty record). The watchdog posts notifyMessage to
    // notifyTarget once the job has run longer than timeoutMs. Returns the job's handle, or 0
    // when no worker can be had (grow count 0 or the system gives no thread).
    JobHandle Submit(JobFunction work, JobFunction completion, const COptionStore* values,
                     QObject* notifyTarget = nullptr, uint32_t notifyMessage = 0,
                     uintptr_t notifyWParam = 0, int timeoutMs = kDefaultTimeoutMs);

    // 1 while the worker with this handle has a job or is stopping; 0 when it is idle or unknown.
    int IsJobRunning(JobHandle handle) const;

    // The number of workers that have a job or are stopping.
    int GetBusyCount() const;

    // Stops every worker: idle ones end at once, busy ones are let go to end when their job
    // returns. The pool is empty afterwards and can take new jobs.
    void TerminateAll();

    // Timer 1: stops idle workers above the idle limit, then delivers results.
    void Sweep();
    // Calls the completion functions of the jobs that ended, in the order they ended.
    void DeliverResults();
    // Timer 2: posts the notify message of each job that has run past its time-out, once. The
    // worker keeps its job until the work function returns.
    void CheckTimeouts();

    // "infinite" (from construction): the destructor waits for every job. "terminate": it waits
    // for none and lets busy workers go. Any other mode: it lets every worker go unwaited.
    void SetShutdownMode(const std::string& mode) { m_shutdownMode = mode; }
    const std::string& GetShutdownMode() const { return m_shutdownMode; }

    // Observers for hosts, tests and benchmarks.
    int IsStarted() const { return m_started; }
    int GetWorkerCount() const { return static_cast<int>(m_workers.size()); }
    int GetIdleCount() const;
    std::vector<JobHandle> GetWorkerHandles() const; // ascending
    int GetPendingResultCount() const;
    CMLEventWnd* GetTimerWindow() const { return m_timerWindow.get(); }

    // Worker threads of every pool in the process that have not ended yet, let-go ones included.
    static int GetLiveThreadCount();

private:
    std::shared_ptr<CFxMLThread> TakeWorker();
    // Lets go of a worker: it leaves the pool's counts and results alone from now on and stops
    // after its job; an idle one is waited for when wait is set, a busy one never.
    void Forget(const std::shared_ptr<CFxMLThread>& worker, bool waitIfIdle);

    std::map<std::string, std::shared_ptr<CFxMLThread>> m_workers;
    std::shared_ptr<CFxMLPoolShared> m_shared;
    int m_growCount = 0;
    int m_idleLimit = 0;
    int m_sweepPeriod = 0;
    int m_started = 0;
    std::unique_ptr<CMLEventWnd> m_timerWindow;
    std::string m_shutdownMode = "infinite";
};

} // namespace brivox
