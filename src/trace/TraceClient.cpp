#include "trace/TraceClient.h"

#include "platform/DeveloperMarker.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "trace/SharedString.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace brivox {

namespace {

enum GateState : int { kUndecided = -1, kClosed = 0, kOpen = 1 };
std::atomic<int> g_gate{kUndecided};

// The window search is made once per process: a trace window that appears later is not found.
std::mutex g_windowMutex;
bool g_windowSearchDone = false;
std::string g_windowSocket;

void SendDatagram(const std::string& socketPath, const std::string& command) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        return;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    sendto(fd, command.data(), command.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
           sizeof address);
    close(fd);
}

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

std::string TraceWindowSocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime != nullptr && *runtime == '/' ? runtime : SettingsFolder();
    return folder + "/XTraceWindow";
}

void TraceToWindow(const std::string& text, bool timestamped) {
    if (!TraceGateOpen())
        return;
    std::string socketPath;
    {
        const std::lock_guard lock(g_windowMutex);
        if (!g_windowSearchDone) {
            g_windowSearchDone = true;
            if (PathExists(TraceWindowSocketPath()))
                g_windowSocket = TraceWindowSocketPath();
        }
        socketPath = g_windowSocket;
    }
    if (!socketPath.empty())
        SendDatagram(socketPath, (timestamped ? "xta1t:" : "xta1:") + text);
}

namespace trace_testing {
void ForgetGate() {
    g_gate.store(kUndecided);
    const std::lock_guard lock(g_windowMutex);
    g_windowSearchDone = false;
    g_windowSocket.clear();
}
} // namespace trace_testing

} // namespace brivox
