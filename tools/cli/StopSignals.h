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
// it before any thread starts; the signals' old handling comes back when it goes.
class CStopSignalWatch {
public:
    explicit CStopSignalWatch(std::function<void()> onStop);
    ~CStopSignalWatch();
    CStopSignalWatch(const CStopSignalWatch&) = delete;
    CStopSignalWatch& operator=(const CStopSignalWatch&) = delete;

private:
    sigset_t m_oldMask{};
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace brivox::cli
