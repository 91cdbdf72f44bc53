#include "trace/TraceClient.h"

#include "platform/DeveloperMarker.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "trace/SharedString.h"
#include "trace/TraceSocket.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <unistd.h>

namespace brivox {

namespace {

enum GateState : int { kUndecided = -1, kClosed = 0, kOpen = 1 };
std::atomic<int> g_gate{kUndecided};

// The window search is made once per process: a trace window that appears later is not found.
enum class WindowRoute { Undecided, None, Socket, Own };

std::mutex g_windowMutex;
WindowRoute g_route = WindowRoute::Undecided;
std::string g_windowSocket;
CTraceWindowOwner* g_owner = nullptr;
CTraceRect g_ownRect = {0, 0, 200, 700};

// Runs on the application object's thread: at once when called there, else queued in order.
void RunOnUiThread(std::function<void()> work) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr)
        return;
    if (QThread::currentThread() == application->thread())
        work();
    else
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

void DeliverToOwnWindow(const std::string& command, bool create) {
    RunOnUiThread([command, create] {
        CTraceWindowOwner* owner = nullptr;
        {
            const std::lock_guard lock(g_windowMutex);
            owner = g_owner;
        }
        if (owner == nullptr)
            return;
        if (create)
            owner->CreateTraceWindow();
        owner->DeliverToTraceWindow(command);
    });
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
    bool create = false;
    WindowRoute route;
    std::string socketPath;
    {
        const std::lock_guard lock(g_windowMutex);
        if (g_route == WindowRoute::Undecided) {
            g_windowSocket = TraceWindowSocketPath();
            if (TraceSocketListening(g_windowSocket))
                g_route = WindowRoute::Socket;
            else if (g_owner != nullptr && QCoreApplication::instance() != nullptr)
                g_route = WindowRoute::Own;
            else
                g_route = WindowRoute::None;
            create = g_route == WindowRoute::Own;
        }
        route = g_route;
        socketPath = g_windowSocket;
    }
    const std::string command = (timestamped ? "xta1t:" : "xta1:") + text;
    if (route == WindowRoute::Socket)
        SendTraceDatagram(socketPath, command);
    else if (route == WindowRoute::Own)
        DeliverToOwnWindow(command, create);
}

void SetTraceWindowOwner(CTraceWindowOwner* owner) {
    const std::lock_guard lock(g_windowMutex);
    g_owner = owner;
}

CTraceRect OwnTraceWindowRect() {
    const std::lock_guard lock(g_windowMutex);
    return g_ownRect;
}

void SetOwnTraceWindowRect(const CTraceRect& rect) {
    const std::lock_guard lock(g_windowMutex);
    g_ownRect = rect;
}

namespace trace_testing {
void ForgetGate() {
    g_gate.store(kUndecided);
    const std::lock_guard lock(g_windowMutex);
    g_route = WindowRoute::Undecided;
    g_windowSocket.clear();
}
} // namespace trace_testing

} // namespace brivox
