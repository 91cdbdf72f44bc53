// A traffic list at its limit, 64 MiB of received bytes, all selected with Ctrl+A: the longest
// the UI thread is held by Ctrl+C and the other copies (beyond a second the window is frozen)
// and how long until the clipboard has the text; how long saving the whole list as text and as
// raw bytes holds it, and how long until the file is written.
// Run: build/bench/bench_copy
#include "BenchSupport.h"
#include "session/ByteList.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace brivox;
using Clock = std::chrono::steady_clock;

constexpr int kChunk = 128; // as the port's reader hands bytes over
constexpr int kClipboardLimitMs = 60000;
constexpr auto kSaveLimit = std::chrono::seconds(60);

double MillisecondsOf(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Fill(CByteList& list, int64_t bytes) {
    std::mt19937 random(7);
    std::vector<uint8_t> chunk(kChunk);
    for (int64_t added = 0; added < bytes; added += kChunk) {
        for (uint8_t& byte : chunk)
            byte = static_cast<uint8_t>(random());
        list.AddBytes(chunk.data(), kChunk, ByteKind::Received);
    }
    list.Model().Flush();
}

void PressCtrl(QWidget& view, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QCoreApplication::sendEvent(&view, &press);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // no display needed
    bench::CBenchFolder folder;
    if (!folder.IsReady())
        return 1;
    QApplication application(argc, argv);
    QTableView view;
    view.horizontalHeader()->hide(); // as the form's lists are
    view.verticalHeader()->hide();
    CByteList list(&view, true);
    view.resize(600, 200);
    view.show();
    const int64_t bytes = CByteListModel::kByteLimit;
    Fill(list, bytes);
    std::printf("list: %lld bytes in %d rows\n", static_cast<long long>(bytes),
                list.Model().rowCount());
    QCoreApplication::processEvents(); // shown and painted once
    std::printf("Ctrl+A           %7.1f ms, with its repaint\n", MillisecondsOf([&] {
                    PressCtrl(view, Qt::Key_A);
                    QCoreApplication::processEvents();
                }));
    // The longest the UI thread went without running a 5 ms timer, from the copy until the
    // clipboard has the text: what the user sees of the copy.
    const auto copy = [&](const char* name, const std::function<void()>& work) {
        QEventLoop arrived;
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &arrived,
                         &QEventLoop::quit);
        QTimer::singleShot(kClipboardLimitMs, &arrived, &QEventLoop::quit);
        double longest = 0;
        auto last = Clock::now();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            longest =
                std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        });
        tick.start(5);
        const auto start = Clock::now();
        longest = MillisecondsOf(work);
        last = Clock::now();
        arrived.exec();
        const double ready =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const qsizetype size = QGuiApplication::clipboard()->mimeData()->data("text/plain").size();
        std::printf(
            "%-16s longest stall %7.1f ms, %7.1f ms until on the clipboard (%lld bytes)%s\n", name,
            longest, ready, static_cast<long long>(size), longest > 1000 ? "  FROZEN" : "");
    };
    copy("Ctrl+C (hex)", [&] { PressCtrl(view, Qt::Key_C); });
    copy("Copy as Text", [&] { list.Actions().Copy(CopyFormat::Text); });
    copy("Copy as C array", [&] { list.Actions().Copy(CopyFormat::CArray); });
    for (const char* name : {"list.txt", "list.bin"}) {
        const std::string path = folder.Path() + "/" + name;
        const auto start = Clock::now();
        const double held = MillisecondsOf([&] { list.Actions().SaveTo(path); });
        // Written whole and renamed into place: there once done.
        while (!std::filesystem::exists(path) && Clock::now() - start < kSaveLimit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const double written =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::printf("Save as %-8s held %7.1f ms, %7.1f ms until written (%lld bytes)\n", name, held,
                    written, static_cast<long long>(std::filesystem::file_size(path)));
    }
    return 0;
}
