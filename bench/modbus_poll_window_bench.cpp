// The "MODBUS Poll..." window, offscreen, polling 100 holding registers of brivox-devsim's slave
// on a pseudo-terminal at 115200 baud, back to back and every 10 ms, 10 s each, while a register
// is written every 5 ms so that values change: cycles a second (writes included), cycles not
// valid, the reply time as the poll counts it, the table's repaints and the CPU of the whole
// process (the UI thread and the port's reader).
// Run: build/bench/bench_modbus_poll_window [seconds per interval, default 10]
#include "BenchSupport.h"
#include "PaintCounter.h"
#include "app/SessionHost.h"
#include "banner/NoticeScript.h"
#include "options/GlobalOptions.h"
#include "options/OptionDefaults.h"
#include "session/ModbusPollWindow.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>

namespace {

using namespace brivox;
using Clock = std::chrono::steady_clock;

void RunEventsFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool OpenCom1(CSessionForm& form) {
    auto* ports = qobject_cast<QComboBox*>(form.Control(idc::kPort));
    ports->setCurrentIndex(ports->findText(QStringLiteral("COM1 ("), Qt::MatchStartsWith));
    emit ports->activated(ports->currentIndex());
    auto* baud = qobject_cast<QComboBox*>(form.Control(idc::kBaud));
    baud->setCurrentIndex(baud->findText(QStringLiteral("115200")));
    emit baud->activated(baud->currentIndex());
    qobject_cast<QAbstractButton*>(form.Control(idc::kOpenClose))->click();
    return form.IsPortOpen();
}

void BenchInterval(CSessionForm& form, int intervalMs, int seconds) {
    CModbusPollWindow& window = form.OpenPollWindow();
    window.FunctionBox().setCurrentIndex(2);
    window.StartBox().setText(QStringLiteral("0000"));
    window.CountBox().setValue(100);
    window.RateBox().setValue(intervalMs);
    bench::CPaintCounter painted;
    window.Table().viewport()->installEventFilter(&painted);
    RunEventsFor(300);
    const double cpuBefore = bench::ProcessCpuSeconds();
    const auto start = Clock::now();
    window.Toggle();
    // Values that change, so that the table has something to show: a register written every
    // 5 ms, in turn, between the reads.
    int written = 0;
    QTimer writer;
    QObject::connect(&writer, &QTimer::timeout, [&] {
        window.Write(written % window.Model().rowCount(), std::to_string(written));
        ++written;
    });
    writer.start(5);
    RunEventsFor(seconds * 1000);
    writer.stop();
    window.Toggle();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = bench::ProcessCpuSeconds() - cpuBefore;
    const CModbusPollStatistics& statistics = window.Poll().Poll()->Statistics();
    std::printf("poll window, 100 registers, interval %d ms, %.1f s:\n"
                "  %lld cycles, %.0f cycles/s, %lld not valid, %.1f table repaints/s, CPU %.1f %% "
                "of a core\n  %s\n",
                intervalMs, elapsed, static_cast<long long>(statistics.requests),
                static_cast<double>(statistics.requests) / elapsed,
                static_cast<long long>(statistics.timeouts + statistics.checksumErrors +
                                       statistics.exceptions + statistics.wrongSlave +
                                       statistics.wrongFunction + statistics.wrongLength),
                painted.paints / elapsed, 100.0 * cpu / elapsed, statistics.Summary(false).c_str());
    window.close();
}

} // namespace

int main(int argc, char** argv) {
    const bench::CBenchFolder folder;
    if (!folder.IsReady())
        return 1;
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // no display needed
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string devsimOut = folder.Path() + "/devsim.out";
    const pid_t devsim =
        bench::SpawnInto({BRIVOX_DEVSIM, "--modbus", "rtu", "--register", "1"}, devsimOut);
    if (devsim == 0 || bench::AwaitFirstLine(devsimOut).empty()) {
        std::fprintf(stderr, "brivox-devsim did not start\n");
        return 1;
    }
    QApplication application(argc, argv);
    RegisterDefaultOptions(GlobalOptions(), "eng");
    SetNoticeServerOrigin("http://127.0.0.1:1"); // the banner asks no server
    int status = 0;
    {
        CSessionHost host(false, nullptr);
        host.show();
        if (OpenCom1(*host.Form())) {
            for (const int interval : {0, 10})
                BenchInterval(*host.Form(), interval, seconds);
        } else {
            std::printf("cannot open COM1\n");
            status = 1;
        }
    }
    kill(devsim, SIGTERM);
    waitpid(devsim, nullptr, 0);
    return status;
}
