#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace brivox::test {

// Holds jobs until the test opens it.
class CGate {
public:
    void Open() {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    void Wait() {
        m_entered.fetch_add(1);
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }
    int Entered() const { return m_entered.load(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    std::atomic<int> m_entered{0};
};

// Polls the condition every millisecond; false when it is still false after the time.
template <class Condition> bool WaitUntil(Condition condition, int milliseconds = 10000) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace brivox::test
