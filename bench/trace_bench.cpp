// The trace window, shown offscreen at 800 x 600: how many lines a second another thread gets
// through its socket into a log pane (and whether any were lost), how long one line takes when
// the pane is near its cut and how long the cut takes, and the CPU that 1000 variables take,
// unchanged and changing. Then the memory (RSS) of the real brivox-trace program, a fresh one
// for each of three floods: one huge rectangle, 6000 variables of 100 KB, log lines made only
// of line breaks (target: under 200 MB each).
// Run: build/bench/bench_trace [lines, default 20000 | floods, for the floods alone]
#include "BenchSupport.h"
#include "platform/RichEdit.h"
#include "trace/TraceClient.h"
#include "trace/TraceSocket.h"
#include "trace/XTraceWindow.h"

#include <QApplication>
#include <QTextDocument>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <linux/sockios.h>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace brivox;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void LinesThroughTheSocket(CXTraceWindow& window, int lines) {
    int received = 0;
    QObject::connect(&window, &CXTraceWindow::CommandReceived, [&] {
        if (++received == lines)
            QCoreApplication::quit();
    });
    const double cpuBefore = bench::ProcessCpuSeconds();
    const Clock::time_point start = Clock::now();
    std::thread sender([lines] {
        const std::string text(60, 'x');
        for (int i = 0; i < lines; ++i)
            SendTraceDatagram(TraceWindowSocketPath(), "xta1:" + std::to_string(i) + text);
    });
    QTimer::singleShot(60'000, &QCoreApplication::quit);
    QApplication::exec();
    sender.join();
    const double seconds = MillisecondsSince(start) / 1000;
    std::printf("socket into pane A: %d of %d lines in %.2f s, %.0f lines/s, %.0f %% of a core\n",
                received, lines, seconds, received / seconds,
                100 * (bench::ProcessCpuSeconds() - cpuBefore) / seconds);
}

void NearTheCut(CXTraceWindow& window) {
    const std::string line = "xta2:" + std::string(8000, 'y');
    Clock::time_point start = Clock::now();
    while (window.PaneB().document()->characterCount() < 800'000) {
        start = Clock::now();
        window.Execute(line);
    }
    std::printf("a line into a pane of 800,000 characters: %.2f ms\n", MillisecondsSince(start));
    start = Clock::now();
    window.Execute(line);
    window.Execute(line);
    window.Execute(line);
    std::printf("three lines past 819,200 characters, with the cut: %.2f ms (pane now %d)\n",
                MillisecondsSince(start), window.PaneB().document()->characterCount() - 1);
}

// CPU share over two seconds of the event loop while 1000 variables are shown.
double CpuWhileRunning(int milliseconds) {
    const double cpuBefore = bench::ProcessCpuSeconds();
    QTimer::singleShot(milliseconds, &QCoreApplication::quit);
    QApplication::exec();
    return 100 * (bench::ProcessCpuSeconds() - cpuBefore) / (milliseconds / 1000.0);
}

void ManyVariables(CXTraceWindow& window) {
    for (int i = 0; i < 1000; ++i)
        window.Execute("xts:variable" + std::to_string(i) + "=" + std::to_string(i * 7));
    CpuWhileRunning(200);
    std::printf("1000 variables, none changing: %.2f %% of a core\n", CpuWhileRunning(2000));
    QTimer changer;
    int tick = 0;
    QObject::connect(&changer, &QTimer::timeout, [&] {
        for (const char* name : {"variable0", "variable1", "variable2"})
            window.Execute(std::string("xts:") + name + "=" + std::to_string(++tick));
    });
    changer.start(CXTraceWindow::kRefreshMs);
    std::printf("1000 variables, one in each pane changing every tick: %.2f %% of a core\n",
                CpuWhileRunning(2000));
}

// Polls until the condition holds or the limit passes; whether it held.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A brivox-trace program of its own, its output thrown away; ended when this goes.
class CTraceProgram {
public:
    CTraceProgram() {
        std::string program = BRIVOX_TRACE;
        char* args[] = {program.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, args[0], &actions, nullptr, args, environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CTraceProgram() {
        if (m_pid == 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        if (!WaitFor([&] { return waitpid(m_pid, &status, WNOHANG) != 0; },
                     std::chrono::seconds(5))) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
    }
    CTraceProgram(const CTraceProgram&) = delete;
    CTraceProgram& operator=(const CTraceProgram&) = delete;

    bool Listening() const {
        return m_pid != 0 && WaitFor([] { return TraceSocketListening(TraceWindowSocketPath()); },
                                     std::chrono::seconds(10));
    }
    // A figure of /proc/PID/status in MB ("VmRSS", "VmHWM" for the peak).
    double StatusMb(const std::string& key) const {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        for (std::string word; status >> word;) {
            if (word == key + ":") {
                double kilobytes = 0;
                status >> kilobytes;
                return kilobytes / 1024;
            }
        }
        return 0;
    }

private:
    pid_t m_pid = 0;
};

// Sends commands to the trace window and waits while its queue is full, so that none is lost.
class CFloodSender {
public:
    CFloodSender() : m_fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{AF_UNIX, {}};
        const std::string path = TraceWindowSocketPath();
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        const timeval limit{60, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~CFloodSender() { close(m_fd); }
    CFloodSender(const CFloodSender&) = delete;
    CFloodSender& operator=(const CFloodSender&) = delete;

    void Send(const std::string& command) {
        if (!m_connected || send(m_fd, command.data(), command.size(), MSG_NOSIGNAL) < 0)
            ++m_lost;
    }
    // Waits until the window has read every command: they count against this socket until then.
    bool Drained() const {
        return WaitFor(
            [&] {
                int queued = 0;
                return ioctl(m_fd, SIOCOUTQ, &queued) == 0 && queued == 0;
            },
            std::chrono::seconds(600));
    }
    int Lost() const { return m_lost; }

private:
    int m_fd;
    bool m_connected = false;
    int m_lost = 0;
};

void RectangleFlood(CFloodSender& sender) {
    sender.Send("xtrect:0,0,32767,32767");
}

void VariableFlood(CFloodSender& sender) {
    const std::string value(100'000, 'v');
    for (int i = 0; i < 6000; ++i)
        sender.Send("xts:variable" + std::to_string(i) + "=" + value);
}

void LineBreakFlood(CFloodSender& sender) {
    const std::string breaks(8192, '\n');
    for (int i = 0; i < 400; ++i)
        sender.Send((i % 2 == 0 ? "xta1:" : "xta2:") + breaks);
}

// Memory of a fresh brivox-trace before and after the flood; the peak is its high-water mark.
void MeasureFlood(const char* name, const std::function<void(CFloodSender&)>& flood) {
    CTraceProgram program;
    if (!program.Listening()) {
        std::printf("%s: brivox-trace did not start listening\n", name);
        return;
    }
    const double before = program.StatusMb("VmRSS");
    CFloodSender sender;
    const Clock::time_point start = Clock::now();
    flood(sender);
    const bool drained = sender.Drained();
    const double seconds = MillisecondsSince(start) / 1000;
    std::this_thread::sleep_for(std::chrono::seconds(1)); // variable redraws and painting
    std::printf("brivox-trace, %s: RSS %.0f MB before, %.0f MB after (peak %.0f MB), %.1f s, "
                "%d lost%s\n",
                name, before, program.StatusMb("VmRSS"), program.StatusMb("VmHWM"), seconds,
                sender.Lost(), drained ? "" : ", not all read");
}

void Floods() {
    MeasureFlood("xtrect:0,0,32767,32767", RectangleFlood);
    MeasureFlood("6000 variables of 100 KB", VariableFlood);
    MeasureFlood("400 lines of 8192 line breaks into panes A and B", LineBreakFlood);
}

// The window of this process, fed through its socket and directly.
int InProcess(int lines) {
    CXTraceWindow window;
    if (!window.ChannelError().empty()) {
        std::fprintf(stderr, "bench_trace: %s\n", window.ChannelError().c_str());
        return 1;
    }
    window.resize(800, 600);
    window.show();
    LinesThroughTheSocket(window, lines);
    NearTheCut(window);
    ManyVariables(window);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool floodsOnly = argc > 1 && std::string(argv[1]) == "floods";
    const int lines = argc > 1 && !floodsOnly ? std::atoi(argv[1]) : 20'000;
    bench::CBenchFolder folder;
    if (!folder.IsReady()) {
        std::fprintf(stderr, "bench_trace: no temporary folder\n");
        return 1;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    if (!floodsOnly && InProcess(lines) != 0)
        return 1;
    Floods(); // after the window above has closed its socket
    return 0;
}
