#include "cli/StopSignals.h"

#include <csignal>
#include <initializer_list>
#include <sys/signalfd.h>

namespace brivox::cli {

int StopSignalDescriptor() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopSignals, signal);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    return signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
}

} // namespace brivox::cli
