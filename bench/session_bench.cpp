// A session form, shown offscreen with its port open on a pseudo-terminal in HEX view, while
// random bytes stream into the other end at 100 KB/s, 1 MB/s, 10 MB/s and 30 MB/s: whether every
// byte reached the RX list in order, the process CPU time per second of traffic, the longest gap
// of a 10 ms timer on the UI thread, and the memory growth per received byte.
// Run: build/bench/bench_session [seconds per rate, default 10] [rates in KB/s...]
#include "BenchSupport.h"
#include "PaintCounter.h"
#include "app/SessionHost.h"
#include "banner/NoticeScript.h"
#include "options/GlobalOptions.h"
#include "options/OptionDefaults.h"
#include "serial/PortMap.h"
#include "serial/PseudoTerminal.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace brivox;
using Clock = std::chrono::steady_clock;
constexpr int kPortNumber = 1;
constexpr int kWritesPerSecond = 100;

long ResidentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// A child process writes the bytes into the master at the rate, a slice every 10 ms, so that
// its work is not counted as ours.
pid_t StartWriter(int master, const std::vector<uint8_t>& bytes, int rate) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const size_t slice = static_cast<size_t>(rate / kWritesPerSecond);
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (size_t sent = 0; sent < bytes.size();) {
        const size_t end = std::min(bytes.size(), sent + slice);
        while (sent < end) {
            const ssize_t written = write(master, bytes.data() + sent, end - sent);
            if (written <= 0)
                _exit(1);
            sent += static_cast<size_t>(written);
        }
        next.tv_nsec += 1000000000L / kWritesPerSecond;
        if (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    _exit(0);
}

// The bytes of the list, row by row, against what was written after the bytes the capped list
// dropped; the count of those that agree, the dropped ones included.
size_t BytesInOrder(const CByteListModel& list, const std::vector<uint8_t>& written) {
    size_t index = static_cast<size_t>(list.DroppedBytes());
    for (int row = 0; row < list.rowCount(); ++row) {
        const CByteRow* cells = list.RowAt(row);
        for (int cell = 0; cells != nullptr && cell < CByteRow::kCells; ++cell) {
            if (!cells->HasCell(cell))
                return index;
            if (index >= written.size() || cells->Value(cell) != written[index])
                return index;
            ++index;
        }
    }
    return index;
}

size_t ReceivedBytes(const CByteListModel& list) {
    return static_cast<size_t>(list.CellCount() + list.DroppedBytes());
}

void OpenOnPort(CSessionForm& form) {
    auto* ports = qobject_cast<QComboBox*>(form.Control(idc::kPort));
    ports->setCurrentIndex(ports->findText(QStringLiteral("COM1 ("), Qt::MatchStartsWith));
    emit ports->activated(ports->currentIndex());
    auto* view = qobject_cast<QComboBox*>(form.Control(idc::kViewType));
    view->setCurrentIndex(0);
    emit view->activated(0);
    qobject_cast<QAbstractButton*>(form.Control(idc::kOpenClose))->click();
}

void BenchRate(CPseudoTerminal& pty, int rate, int seconds) {
    CSessionHost host(false, nullptr);
    host.show();
    CSessionForm& form = *host.Form();
    OpenOnPort(form);
    if (!form.IsPortOpen()) {
        std::printf("cannot open the port\n");
        return;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(rate) * static_cast<size_t>(seconds));
    std::mt19937 random(20240501);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    const CByteListModel& list = form.RxList().Model();

    // Settle, then measure from the first byte written to the last one shown. A loop of our own:
    // quitting the application's would close the window.
    QEventLoop loop;
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();
    bench::CPaintCounter painted;
    form.RxList().View()->viewport()->installEventFilter(&painted);
    const long residentBefore = ResidentBytes();
    const double cpuBefore = bench::ProcessCpuSeconds();
    auto lastTick = Clock::now();
    double longestGapMs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longestGapMs = std::max(longestGapMs,
                                std::chrono::duration<double, std::milli>(now - lastTick).count());
        lastTick = now;
        if (ReceivedBytes(list) >= bytes.size())
            loop.quit();
    });
    QTimer deadline; // of this run only
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start((seconds + 10) * 1000);
    const auto start = Clock::now();
    const pid_t writer = StartWriter(pty.Master(), bytes, rate);
    ticker.start(10);
    loop.exec();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = bench::ProcessCpuSeconds() - cpuBefore;
    const long grown = ResidentBytes() - residentBefore;
    ticker.stop();
    kill(writer, SIGKILL); // ends a writer stuck on a line nobody reads any more
    waitpid(writer, nullptr, 0);
    form.RxList().Model().Flush();

    const size_t received = ReceivedBytes(list);
    std::printf("%4d KB/s for %d s: received %zu of %zu bytes (%zu in order) in %.1f s\n",
                rate / 1000, seconds, received, bytes.size(), BytesInOrder(list, bytes), elapsed);
    std::printf("    CPU %.2f %% of one core per second of traffic; longest 10 ms timer gap "
                "%.1f ms; %.1f repaints of the RX list a second; memory +%.2f bytes per "
                "received byte (list store %.2f)\n",
                cpu / seconds * 100, longestGapMs, painted.paints / elapsed,
                static_cast<double>(grown) / static_cast<double>(std::max<size_t>(received, 1)),
                static_cast<double>(list.RowBytes()) /
                    static_cast<double>(std::max<size_t>(received, 1)));
}

} // namespace

int main(int argc, char** argv) {
    const bench::CBenchFolder folder;
    if (!folder.IsReady())
        return 1;
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // no display needed
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QApplication application(argc, argv);
    RegisterDefaultOptions(GlobalOptions(), "eng");
    // The banner asks no server: only the traffic is measured.
    SetNoticeServerOrigin("http://127.0.0.1:1");
    CPseudoTerminal pty;
    if (const std::string error = pty.Open(); !error.empty()) {
        std::printf("no pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    RegisterPort(PortMapFolder(), kPortNumber, pty.SlavePath());
    std::vector<int> rates;
    for (int arg = 2; arg < argc; ++arg)
        rates.push_back(std::max(1, std::atoi(argv[arg])) * 1000);
    if (rates.empty())
        rates = {100000, 1000000, 10000000, 30000000};
    for (const int rate : rates)
        BenchRate(pty, rate, seconds);
    UnregisterPort(PortMapFolder(), kPortNumber, pty.SlavePath());
    return 0;
}
