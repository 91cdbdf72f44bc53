#include "jobs/FxMLThreadPool.h"

#include "platform/PostedMessage.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <QTimerEvent>
#include <algorithm>
#include <chrono>
#include <climits>
#include <system_error>

namespace brivox {

// What the workers share with their pool. Workers hold it by shared_ptr, so a worker that the
// pool let go may still lock it after the pool is gone.
struct CFxMLPoolShared {
    std::mutex mutex;
    std::atomic<int> idleCount{0};
    std::vector<std::unique_ptr<CFxMLJob>> results; // guarded by mutex
    bool timerWindowExists = false;                 // guarded by mutex
};

namespace {

std::atomic<uint32_t> g_lastThreadId{0};
std::atomic<int> g_liveThreads{0};

JobHandle NextThreadId() {
    JobHandle id = g_lastThreadId.fetch_add(1, std::memory_order_relaxed) + 1;
    while (id == 0)
        id = g_lastThreadId.fetch_add(1, std::memory_order_relaxed) + 1;
    return id;
}

// A 32-bit millisecond tick that wraps like the system's tick count.
uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// The map key of a worker: its address as a signed decimal number.
std::string KeyOf(const CFxMLThread* worker) {
    return std::to_string(reinterpret_cast<intptr_t>(worker));
}

} // namespace

// ---- CFxMLThread ---------------------------------------------------------------------------

CFxMLThread::CFxMLThread(std::shared_ptr<CFxMLPoolShared> shared, JobHandle id)
    : m_shared(std::move(shared)), m_threadId(id) {}

CFxMLThread::~CFxMLThread() {
    // The pool joins or detaches every thread before it lets go of the object; a joinable
    // thread here would end the program, so make sure of it.
    if (m_thread.joinable())
        m_thread.detach();
}

bool CFxMLThread::Launch(const std::shared_ptr<CFxMLThread>& worker) {
    g_liveThreads.fetch_add(1);
    try {
        // The thread keeps its worker alive: a let-go worker frees itself when its job ends.
        worker->m_thread = std::thread([self = worker]() mutable {
            self->JobLoop();
            self.reset();
            g_liveThreads.fetch_sub(1);
        });
    } catch (const std::system_error&) {
        g_liveThreads.fetch_sub(1);
        return false;
    }
    return true;
}

void CFxMLThread::JobLoop() {
    for (;;) {
        {
            std::unique_lock lock(m_wakeMutex);
            m_wake.wait(lock, [this] {
                return m_hasJob.load(std::memory_order_acquire) ||
                       m_stop.load(std::memory_order_acquire);
            });
        }
        if (m_hasJob.load(std::memory_order_acquire))
            RunJob();
        if (m_stop.load(std::memory_order_acquire))
            return;
    }
}

void CFxMLThread::RunJob() {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_countedIdle) {
            m_shared->idleCount.fetch_sub(1);
            m_countedIdle = false;
        }
    }
    if (m_work)
        m_work(&m_job.values);
    {
        std::lock_guard lock(m_shared->mutex);
        if (!m_abandoned) {
            if (m_shared->timerWindowExists && m_job.completion)
                m_shared->results.push_back(
                    std::make_unique<CFxMLJob>(std::move(m_job.completion), m_job.values));
            m_shared->idleCount.fetch_add(1);
            m_countedIdle = true;
        }
    }
    // Whatever the functions captured is released here, before the worker can take a new job.
    m_work = nullptr;
    m_job.completion = nullptr;
    m_job.values.Clear();
    m_hasJob.store(false, std::memory_order_release);
}

void CFxMLThread::RequestStop() {
    {
        std::lock_guard lock(m_wakeMutex);
        m_stop.store(true, std::memory_order_release);
    }
    m_wake.notify_one();
}

void CFxMLThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void CFxMLThread::Detach() {
    if (m_thread.joinable())
        m_thread.detach();
}

// ---- CMLEventWnd ---------------------------------------------------------------------------

CMLEventWnd::CMLEventWnd(CFxMLThreadPool* pool) : m_pool(pool) {}

CMLEventWnd::~CMLEventWnd() {
    for (const auto& [id, qtId] : m_qtTimers)
        killTimer(qtId);
}

bool CMLEventWnd::CanCreate() {
    return QAbstractEventDispatcher::instance(QThread::currentThread()) != nullptr;
}

bool CMLEventWnd::SetTimer(int id, int periodMs) {
    KillTimer(id);
    const int qtId = startTimer(std::max(periodMs, 10));
    if (qtId == 0)
        return false;
    m_qtTimers[id] = qtId;
    return true;
}

void CMLEventWnd::KillTimer(int id) {
    const auto found = m_qtTimers.find(id);
    if (found == m_qtTimers.end())
        return;
    killTimer(found->second);
    m_qtTimers.erase(found);
}

bool CMLEventWnd::HasTimer(int id) const {
    return m_qtTimers.count(id) != 0;
}

void CMLEventWnd::OnTimer(int id) {
    if (id == kSweepTimer)
        m_pool->Sweep();
    else if (id == kWatchdogTimer)
        m_pool->CheckTimeouts();
}

void CMLEventWnd::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : m_qtTimers) {
        if (qtId == event->timerId()) {
            OnTimer(id);
            break;
        }
    }
    QObject::timerEvent(event);
}

// ---- CFxMLThreadPool -----------------------------------------------------------------------

CFxMLThreadPool::CFxMLThreadPool() : m_shared(std::make_shared<CFxMLPoolShared>()) {}

CFxMLThreadPool::~CFxMLThreadPool() {
    for (const auto& [key, worker] : m_workers)
        worker->RequestStop();
    if (m_shutdownMode == "infinite") {
        for (const auto& [key, worker] : m_workers)
            worker->Join();
    } else {
        const bool terminate = m_shutdownMode == "terminate";
        for (const auto& [key, worker] : m_workers)
            Forget(worker, terminate);
    }
    m_workers.clear();
    DeliverResults();
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->timerWindowExists = false;
    }
    m_timerWindow.reset();
}

int CFxMLThreadPool::Start(int growCount, int idleLimit, int sweepPeriodSeconds) {
    if (m_started)
        return 1;
    m_growCount = growCount;
    m_idleLimit = idleLimit;
    m_sweepPeriod = sweepPeriodSeconds;
    if (!m_timerWindow) {
        if (!CMLEventWnd::CanCreate())
            return 0;
        m_timerWindow = std::make_unique<CMLEventWnd>(this);
        std::lock_guard lock(m_shared->mutex);
        m_shared->timerWindowExists = true;
    }
    const int sweepMs = std::clamp(sweepPeriodSeconds, 0, INT_MAX / 1000) * 1000;
    if (!m_timerWindow->SetTimer(CMLEventWnd::kSweepTimer, sweepMs) ||
        !m_timerWindow->SetTimer(CMLEventWnd::kWatchdogTimer, 1000)) {
        m_timerWindow->KillTimer(CMLEventWnd::kSweepTimer);
        return 0;
    }
    m_started = 1;
    return 1;
}

std::shared_ptr<CFxMLThread> CFxMLThreadPool::TakeWorker() {
    for (const auto& [key, worker] : m_workers) {
        if (!worker->HasJob() && !worker->IsStopping())
            return worker;
    }
    std::shared_ptr<CFxMLThread> last;
    for (int i = 0; i < m_growCount; ++i) {
        auto worker = std::shared_ptr<CFxMLThread>(new CFxMLThread(m_shared, NextThreadId()));
        {
            std::lock_guard lock(m_shared->mutex);
            worker->m_countedIdle = true;
            m_shared->idleCount.fetch_add(1);
        }
        if (!CFxMLThread::Launch(worker)) {
            std::lock_guard lock(m_shared->mutex);
            worker->m_countedIdle = false;
            m_shared->idleCount.fetch_sub(1);
            break;
        }
        m_workers.emplace(KeyOf(worker.get()), worker);
        last = worker;
    }
    return last;
}

JobHandle CFxMLThreadPool::Submit(JobFunction work, JobFunction completion,
                                  const COptionStore* values, QObject* notifyTarget,
                                  uint32_t notifyMessage, uintptr_t notifyWParam, int timeoutMs) {
    const std::shared_ptr<CFxMLThread> worker = TakeWorker();
    if (!worker)
        return 0;
    worker->m_submitTick = TickCount();
    worker->m_notifyTarget = notifyTarget;
    worker->m_notifyMessage = notifyMessage;
    worker->m_notifyWParam = notifyWParam;
    worker->m_timeoutMs = timeoutMs;
    worker->m_timedOut = false;
    worker->m_work = std::move(work);
    worker->m_job.completion = std::move(completion);
    if (values != nullptr)
        worker->m_job.values = *values;
    else
        worker->m_job.values.Clear();
    {
        std::lock_guard lock(worker->m_wakeMutex);
        worker->m_hasJob.store(true, std::memory_order_release);
    }
    worker->m_wake.notify_one();
    return worker->GetThreadId();
}

int CFxMLThreadPool::IsJobRunning(JobHandle handle) const {
    for (const auto& [key, worker] : m_workers) {
        if (worker->GetThreadId() == handle)
            return worker->HasJob() || worker->IsStopping() ? 1 : 0;
    }
    return 0;
}

int CFxMLThreadPool::GetBusyCount() const {
    int busy = 0;
    for (const auto& [key, worker] : m_workers) {
        if (worker->HasJob() || worker->IsStopping())
            ++busy;
    }
    return busy;
}

void CFxMLThreadPool::Forget(const std::shared_ptr<CFxMLThread>& worker, bool waitIfIdle) {
    bool busy;
    {
        std::lock_guard lock(m_shared->mutex);
        worker->m_abandoned = true;
        if (worker->m_countedIdle) {
            worker->m_countedIdle = false;
            m_shared->idleCount.fetch_sub(1);
        }
        busy = worker->HasJob();
    }
    worker->RequestStop();
    if (waitIfIdle && !busy)
        worker->Join();
    else
        worker->Detach();
}

void CFxMLThreadPool::TerminateAll() {
    std::map<std::string, std::shared_ptr<CFxMLThread>> workers;
    workers.swap(m_workers);
    for (const auto& [key, worker] : workers)
        Forget(worker, true);
}

void CFxMLThreadPool::Sweep() {
    int excess = m_shared->idleCount.load() - m_idleLimit;
    if (excess >= 1) {
        std::vector<std::string> aside;
        for (const auto& [key, worker] : m_workers) {
            if (excess <= 0)
                break;
            if (worker->HasJob() || worker->IsStopping())
                continue;
            {
                std::lock_guard lock(m_shared->mutex);
                if (worker->m_countedIdle) {
                    worker->m_countedIdle = false;
                    m_shared->idleCount.fetch_sub(1);
                }
            }
            worker->RequestStop();
            worker->Join();
            aside.push_back(key);
            --excess;
        }
        for (const std::string& key : aside)
            m_workers.erase(key);
    }
    DeliverResults();
}

void CFxMLThreadPool::DeliverResults() {
    std::vector<std::unique_ptr<CFxMLJob>> ready;
    {
        std::lock_guard lock(m_shared->mutex);
        ready.swap(m_shared->results);
    }
    for (auto& job : ready) {
        if (job->completion)
            job->completion(&job->values);
        job.reset();
    }
}

void CFxMLThreadPool::CheckTimeouts() {
    const uint32_t now = TickCount();
    for (const auto& [key, worker] : m_workers) {
        if (worker->m_timedOut || worker->m_notifyTarget.isNull() || !worker->HasJob())
            continue;
        if (now - worker->m_submitTick > static_cast<uint32_t>(worker->m_timeoutMs)) {
            worker->m_timedOut = true;
            PostWindowMessage(worker->m_notifyTarget.data(), worker->m_notifyMessage,
                              worker->m_notifyWParam, reinterpret_cast<intptr_t>(worker.get()));
            worker->m_notifyTarget = nullptr;
        }
    }
}

int CFxMLThreadPool::GetIdleCount() const {
    return m_shared->idleCount.load();
}

std::vector<JobHandle> CFxMLThreadPool::GetWorkerHandles() const {
    std::vector<JobHandle> handles;
    for (const auto& [key, worker] : m_workers)
        handles.push_back(worker->GetThreadId());
    std::sort(handles.begin(), handles.end());
    return handles;
}

int CFxMLThreadPool::GetPendingResultCount() const {
    std::lock_guard lock(m_shared->mutex);
    return static_cast<int>(m_shared->results.size());
}

int CFxMLThreadPool::GetLiveThreadCount() {
    return g_liveThreads.load();
}

} // namespace brivox
