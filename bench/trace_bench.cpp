// The trace window, shown offscreen at 800 x 600: how many lines a second another thread gets
// through its socket into a log pane (and whether any were lost), how long one line takes when
// the pane is near its cut and how long the cut takes, and the CPU that 1000 variables take,
// unchanged and changing.
// Run: build/bench/bench_trace [lines, default 20000]
#include "BenchSupport.h"
#include "platform/RichEdit.h"
#include "trace/TraceClient.h"
#include "trace/TraceSocket.h"
#include "trace/XTraceWindow.h"

#include <QApplication>
#include <QTextDocument>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

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

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 20'000;
    bench::CBenchFolder folder;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    CXTraceWindow window;
    if (!folder.IsReady() || !window.ChannelError().empty()) {
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
