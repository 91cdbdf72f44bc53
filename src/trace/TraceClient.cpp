#include "trace/TraceClient.h"

#include "platform/DeveloperMarker.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "trace/SharedString.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace brivox {

namespace {

enum GateState : int { kUndecided = -1, kClosed = 0, kOpen = 1 };
std::atomic<int> g_gate{kUndecided};

} // namespace

bool TraceGateOpen() {
    int state = g_gate.load();
    if (state == kUndecided) {
        int undecided = kUndecided;
        const int decided = DeveloperMarkerExists() ? kOpen : kClosed;
        g_gate.compare_exchange_strong(undecided, decided);
        state = g_gate.load();
    }
    return state == kOpen;
}

std::string TracePathName(long processId) {
    return "lgwpath_" + std::to_string(processId);
}

std::string FormatTraceLine(const std::tm& localTime, const std::string& text) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "[%02d:%02d:%02d] ", localTime.tm_hour, localTime.tm_min,
                  localTime.tm_sec);
    return stamp + text + "\r\n\r\n";
}

int TraceLine(const std::string& text) {
    if (!TraceGateOpen())
        return 1;
    const std::string path = GetSharedString(TracePathName(getpid()));
    if (path.empty())
        return 1;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string line = FormatTraceLine(local, text);

    MakeSurePathExists(FolderOf(path));
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return 0;
    // One write per line: lines from several threads interleave only as whole lines.
    WriteAll(fd, line.data(), line.size());
    close(fd);
    return 1;
}

namespace trace_testing {
void ForgetGate() {
    g_gate.store(kUndecided);
}
} // namespace trace_testing

} // namespace brivox
