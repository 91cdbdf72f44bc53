#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace brivox {

// The modem input lines of a port.
struct CModemLines {
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
    bool ri = false;
    bool operator==(const CModemLines&) const = default;
};

// "CTS on, DSR off, DCD on, RI off".
std::string ModemLinesText(const CModemLines& lines);

// Reads the lines (TIOCMGET); false when the device has none (a pseudo-terminal, a socket).
bool ReadModemLines(int fd, CModemLines& lines);

// Waits for the modem input lines of a tty to change, on a thread of its own that sleeps in
// TIOCMIWAIT, so nothing polls. The driver wakes it at a change; Stop wakes it with a signal
// (TIOCMIWAIT ends with EINTR), sent again until the thread has seen it, since one that comes
// just before the wait begins is not seen.
class CModemLineWatch {
public:
    using Clock = std::chrono::steady_clock;
    // On the watch thread, with the lines after each change: it must only post, not wait.
    using Changed = std::function<void(const CModemLines& lines, Clock::time_point at)>;

    CModemLineWatch() = default;
    CModemLineWatch(const CModemLineWatch&) = delete;
    CModemLineWatch& operator=(const CModemLineWatch&) = delete;
    ~CModemLineWatch() { Stop(); }

    // Starts waiting on the descriptor, which must stay open until Stop; an error text when the
    // device cannot report changes of its lines.
    std::string Start(int fd, Changed changed);
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

private:
    struct CState {
        std::mutex mutex;
        std::condition_variable ended;
        bool stop = false;
        bool done = false;
    };
    static void Run(int fd, Changed changed, std::shared_ptr<CState> state);

    std::shared_ptr<CState> m_state;
    std::thread m_thread;
};

} // namespace brivox
