#include "cli/StopSignals.h"

#include <QSocketNotifier>
#include <initializer_list>
#include <sys/signalfd.h>
#include <unistd.h>

namespace brivox::cli {

namespace {

sigset_t StopSignalSet() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopSignals, signal);
    return stopSignals;
}

} // namespace

int StopSignalDescriptor() {
    const sigset_t stopSignals = StopSignalSet();
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    return signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
}

CStopSignalWatch::CStopSignalWatch(std::function<void()> onStop) {
    const sigset_t stopSignals = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &stopSignals, &m_oldMask);
    m_fd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, onStop] {
        Drain();
        m_requested = true;
        onStop();
    });
}

CStopSignalWatch::~CStopSignalWatch() {
    m_notifier.reset();
    const bool stopping = (m_fd >= 0 && Drain()) || m_requested;
    if (m_fd >= 0)
        close(m_fd);
    if (!stopping)
        pthread_sigmask(SIG_SETMASK, &m_oldMask, nullptr);
}

bool CStopSignalWatch::Drain() {
    bool any = false;
    signalfd_siginfo info;
    while (read(m_fd, &info, sizeof info) == sizeof info)
        any = true;
    return any;
}

} // namespace brivox::cli
