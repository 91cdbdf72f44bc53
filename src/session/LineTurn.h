#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace brivox {

// The one line of a session's port, taken in turns by the form's send jobs and the poll
// windows, so that two requests are never on the line at once. A job waits for its turn (with a
// bound, and a stop flag it checks); a poll never waits: it takes the line only when it is free
// and no job is waiting, and hears when it is free again. A turn may end before its answer has
// come: the line stays the sender's (a poll does not take it, the next job may) until the answer
// has come and the line has gone quiet, or until the answer is overdue.
class CLineTurn {
public:
    using Clock = std::chrono::steady_clock;

    // Blocks until the line is this caller's, false when stopped() turns true or the bound
    // passes first.
    bool Acquire(const std::function<bool()>& stopped, std::chrono::milliseconds bound);
    bool TryAcquire();
    void Release();
    // Lets go once bytes have come and then stopped for quiet, or after patience with none.
    void ReleaseAfterAnswer(std::chrono::nanoseconds quiet, std::chrono::milliseconds patience);
    // Bytes were received on the line.
    void Heard();
    // When a turn that ends with its answer will be over at the latest as things stand; max()
    // when no such turn is under way.
    Clock::time_point AnswerDue();

    // Told, on the releasing thread, each time the line becomes free; returns the listener's id.
    // A listener must not take the turn itself: it posts a message and returns.
    int AddFreeListener(std::function<void()> listener);
    void RemoveFreeListener(int id);

private:
    static constexpr std::chrono::milliseconds kStopCheck{50};

    // With the lock held.
    bool Held(Clock::time_point now);
    Clock::time_point AnswerDueLocked() const;
    void TellListeners();

    std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_held = false;
    bool m_awaitingAnswer = false;
    bool m_heard = false; // since the turn ended
    Clock::time_point m_lastHeard;
    Clock::time_point m_ended;
    std::chrono::nanoseconds m_quiet{0};
    std::chrono::milliseconds m_patience{0};
    int m_waiting = 0;
    int m_nextId = 1;
    std::vector<std::pair<int, std::function<void()>>> m_listeners;
};

// Holds the line for a scope when it could be had, and keeps it after for the answer.
class CLineTurnHold {
public:
    CLineTurnHold(CLineTurn* turn, const std::function<bool()>& stopped,
                  std::chrono::milliseconds bound, std::chrono::nanoseconds quiet,
                  std::chrono::milliseconds patience)
        : m_turn(turn && turn->Acquire(stopped, bound) ? turn : nullptr), m_got(!turn || m_turn),
          m_quiet(quiet), m_patience(patience) {}
    ~CLineTurnHold() {
        if (m_turn)
            m_turn->ReleaseAfterAnswer(m_quiet, m_patience);
    }
    CLineTurnHold(const CLineTurnHold&) = delete;
    CLineTurnHold& operator=(const CLineTurnHold&) = delete;
    bool Got() const { return m_got; }

private:
    CLineTurn* const m_turn;
    const bool m_got;
    const std::chrono::nanoseconds m_quiet;
    const std::chrono::milliseconds m_patience;
};

} // namespace brivox
