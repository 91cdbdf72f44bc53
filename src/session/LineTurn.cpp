#include "session/LineTurn.h"

#include <algorithm>

namespace brivox {

bool CLineTurn::Held(Clock::time_point now) {
    if (m_awaitingAnswer && now >= AnswerDueLocked()) {
        m_awaitingAnswer = false;
        m_held = false;
    }
    return m_held;
}

CLineTurn::Clock::time_point CLineTurn::AnswerDueLocked() const {
    if (!m_awaitingAnswer)
        return Clock::time_point::max();
    return m_heard ? m_lastHeard + m_quiet : m_ended + m_patience;
}

bool CLineTurn::Acquire(const std::function<bool()>& stopped, std::chrono::milliseconds bound) {
    const auto end = Clock::now() + bound;
    std::unique_lock lock(m_mutex);
    ++m_waiting;
    // The answer a job's turn awaits is the next job's own business: only a poll waits for it.
    while (m_held && !m_awaitingAnswer && !stopped() && Clock::now() < end)
        m_free.wait_for(lock, std::min<Clock::duration>(kStopCheck, end - Clock::now()));
    --m_waiting;
    if (m_held && !m_awaitingAnswer)
        return false;
    m_held = true;
    m_awaitingAnswer = false;
    return true;
}

bool CLineTurn::TryAcquire() {
    std::lock_guard lock(m_mutex);
    if (Held(Clock::now()) || m_waiting > 0)
        return false;
    m_held = true;
    return true;
}

void CLineTurn::Release() {
    std::lock_guard lock(m_mutex);
    m_held = false;
    m_awaitingAnswer = false;
    TellListeners();
}

void CLineTurn::ReleaseAfterAnswer(std::chrono::nanoseconds quiet,
                                   std::chrono::milliseconds patience) {
    std::lock_guard lock(m_mutex);
    m_awaitingAnswer = true;
    m_heard = false;
    m_ended = Clock::now();
    m_quiet = quiet;
    m_patience = patience;
    TellListeners(); // they learn when to come back from AnswerDue
}

void CLineTurn::Heard() {
    std::lock_guard lock(m_mutex);
    m_heard = true;
    m_lastHeard = Clock::now();
}

CLineTurn::Clock::time_point CLineTurn::AnswerDue() {
    std::lock_guard lock(m_mutex);
    return AnswerDueLocked();
}

// The listeners are told under the lock, so that one removed is never called after: they only
// post a message.
void CLineTurn::TellListeners() {
    m_free.notify_all();
    for (const auto& [id, listener] : m_listeners)
        listener();
}

int CLineTurn::AddFreeListener(std::function<void()> listener) {
    std::lock_guard lock(m_mutex);
    m_listeners.emplace_back(m_nextId, std::move(listener));
    return m_nextId++;
}

void CLineTurn::RemoveFreeListener(int id) {
    std::lock_guard lock(m_mutex);
    m_listeners.erase(std::remove_if(m_listeners.begin(), m_listeners.end(),
                                     [id](const auto& entry) { return entry.first == id; }),
                      m_listeners.end());
}

} // namespace brivox
