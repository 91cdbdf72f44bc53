#include "serial/ModemLineWatch.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <sys/ioctl.h>

namespace brivox {

namespace {

constexpr int kWakeTries = 100;
constexpr auto kWakeEvery = std::chrono::milliseconds(10);
constexpr int kWatched = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RI;

// A signal of the program's own, whose only task is to end a TIOCMIWAIT with EINTR.
int WakeSignal() {
    static const int signal = [] {
        const int number = SIGRTMIN + 7;
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the wait must end
        sigaction(number, &action, nullptr);
        return number;
    }();
    return signal;
}

void AllowWakeSignal() {
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, WakeSignal());
    pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
}

} // namespace

std::string ModemLinesText(const CModemLines& lines) {
    const auto state = [](bool on) { return on ? " on" : " off"; };
    return std::string("CTS") + state(lines.cts) + ", DSR" + state(lines.dsr) + ", DCD" +
           state(lines.dcd) + ", RI" + state(lines.ri);
}

bool ReadModemLines(int fd, CModemLines& lines) {
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) != 0)
        return false;
    lines = {(bits & TIOCM_CTS) != 0, (bits & TIOCM_DSR) != 0, (bits & TIOCM_CD) != 0,
             (bits & TIOCM_RI) != 0};
    return true;
}

std::string CModemLineWatch::Start(int fd, Changed changed) {
    Stop();
    CModemLines lines;
    if (!ReadModemLines(fd, lines))
        return "the device has no modem lines to read";
    WakeSignal();
    m_state = std::make_shared<CState>();
    m_thread = std::thread(Run, fd, std::move(changed), m_state);
    return "";
}

void CModemLineWatch::Run(int fd, Changed changed, std::shared_ptr<CState> state) {
    AllowWakeSignal();
    CModemLines last;
    ReadModemLines(fd, last);
    for (;;) {
        {
            std::lock_guard lock(state->mutex);
            if (state->stop)
                break;
        }
        const int waited = ioctl(fd, TIOCMIWAIT, kWatched);
        if (waited != 0 && errno == EINTR)
            continue; // a wake-up: the flag says whether to go on
        CModemLines lines;
        if (waited != 0 || !ReadModemLines(fd, lines))
            break; // no such wait on this device, or it went away
        // Under the lock: once Stop has given up on the thread, nothing is reported any more.
        std::lock_guard lock(state->mutex);
        if (state->stop)
            break;
        if (lines != last)
            changed(lines, Clock::now());
        last = lines;
    }
    std::lock_guard lock(state->mutex);
    state->done = true;
    state->ended.notify_all();
}

void CModemLineWatch::Stop() {
    if (!m_thread.joinable())
        return;
    std::unique_lock lock(m_state->mutex);
    m_state->stop = true;
    for (int i = 0; i < kWakeTries && !m_state->done; ++i) {
        pthread_kill(m_thread.native_handle(), WakeSignal());
        m_state->ended.wait_for(lock, kWakeEvery, [this] { return m_state->done; });
    }
    const bool done = m_state->done;
    lock.unlock();
    // A driver that ignores signals leaves the thread to end on its own; it holds its state.
    if (done)
        m_thread.join();
    else
        m_thread.detach();
}

} // namespace brivox
