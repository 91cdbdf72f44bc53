#pragma once

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace brivox::cli {

// Blocks SIGINT, SIGTERM and SIGHUP in this thread and in every thread it starts later, and
// returns a descriptor that turns readable when one arrives (-1 on failure), so that a program
// ended by a signal goes through its normal exit. Call it before any thread starts.
int StopSignalDescriptor();

// The same for a command on the event loop: while it lives, a stop signal calls onStop on the
// loop's thread instead of ending the process, so that the command can finish its output. Make
// it before any thread starts. When it goes, the signals' old handling comes back only if no
// stop signal came: once one did, the command is ending, and a second one (Ctrl+C pressed
// twice, a SIGTERM after a SIGINT) must not kill it before its counts, report and log are out.
class CStopSignalWatch {
public:
    explicit CStopSignalWatch(std::function<void()> onStop);
    ~CStopSignalWatch();
    CStopSignalWatch(const CStopSignalWatch&) = delete;
    CStopSignalWatch& operator=(const CStopSignalWatch&) = delete;

    // Turns readable when a stop signal waits, until the event loop takes it: blocking waits
    // that run before the loop (opening a port) put it beside their own descriptors.
    int Descriptor() const { return m_fd; }
    // Whether a stop signal has reached onStop.
    bool Requested() const { return m_requested; }

private:
    // Reads every waiting signal; true when there was one.
    bool Drain();

    sigset_t m_oldMask{};
    int m_fd = -1;
    bool m_requested = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace brivox::cli
