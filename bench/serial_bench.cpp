// Throughput of a pseudo-terminal into OnReceive on a Qt event loop, the CPU an open idle port
// takes, and how long Close takes while data streams.
// Run: build/bench/bench_serial [idle seconds, default 10]
#include "BenchSupport.h"
#include "serial/PortMap.h"
#include "serial/PseudoTerminal.h"
#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPortNumber = 9;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

uint8_t PatternByte(uint64_t index) {
    return static_cast<uint8_t>(index * 31 + index / 251);
}

// Counts the bytes and checks each against the pattern, so that a lost or reordered byte shows.
class CCheckingPort : public brivox::CSerialPort {
public:
    uint64_t received = 0;
    uint64_t wrong = 0;
    uint64_t chunks = 0;
    uint64_t wanted = 0;

protected:
    void OnReceive(const uint8_t* bytes, int count) override {
        for (int i = 0; i < count; ++i)
            wrong += bytes[i] != PatternByte(received + static_cast<uint64_t>(i));
        received += static_cast<uint64_t>(count);
        ++chunks;
        if (wanted != 0 && received >= wanted)
            QCoreApplication::quit();
    }
};

void Feed(int master, uint64_t total, const std::atomic<bool>* keepGoing) {
    uint8_t block[4096];
    for (uint64_t sent = 0; total == 0 || sent < total;) {
        if (keepGoing != nullptr && !*keepGoing)
            return;
        const size_t count =
            total == 0 ? sizeof block : std::min<uint64_t>(sizeof block, total - sent);
        for (size_t i = 0; i < count; ++i)
            block[i] = PatternByte(sent + i);
        const ssize_t written = write(master, block, count);
        if (written > 0) {
            sent += static_cast<uint64_t>(written);
            continue;
        }
        pollfd writable{master, POLLOUT, 0};
        poll(&writable, 1, 10);
    }
}

bool OpenPort(CCheckingPort& port) {
    port.SetCommPort(kPortNumber);
    port.SetSettings("115200,N,8,1");
    if (port.Open())
        return true;
    std::printf("cannot open the port: %s\n", port.GetLastError().c_str());
    return false;
}

void BenchThroughput(brivox::CPseudoTerminal& pty) {
    CCheckingPort port;
    if (!OpenPort(port))
        return;
    const uint64_t total = 32ull << 20;
    port.wanted = total;
    const auto start = Clock::now();
    std::thread feeder(Feed, pty.Master(), total, nullptr);
    QCoreApplication::exec();
    const double seconds = SecondsSince(start);
    feeder.join();
    std::printf("pty -> OnReceive: %llu bytes in %.2f s: %.1f MB/s, %llu chunks (%.1f bytes "
                "each), %llu bytes wrong or out of order\n",
                static_cast<unsigned long long>(port.received), seconds,
                static_cast<double>(port.received) / seconds / 1e6,
                static_cast<unsigned long long>(port.chunks),
                static_cast<double>(port.received) / static_cast<double>(port.chunks),
                static_cast<unsigned long long>(port.wrong));
}

void BenchIdle(int seconds) {
    CCheckingPort port;
    if (!OpenPort(port))
        return;
    const double cpuBefore = brivox::bench::ProcessCpuSeconds();
    const auto start = Clock::now();
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    const double cpu = brivox::bench::ProcessCpuSeconds() - cpuBefore;
    std::printf("open idle port: %.4f s CPU in %.1f s: %.3f %%\n", cpu, SecondsSince(start),
                cpu / SecondsSince(start) * 100);
}

void BenchCloseWhileStreaming(brivox::CPseudoTerminal& pty) {
    double worst = 0;
    std::atomic<bool> streaming{true};
    // Between the rounds nobody reads: the feeder must not block in write.
    fcntl(pty.Master(), F_SETFL, O_NONBLOCK);
    std::thread feeder(Feed, pty.Master(), 0, &streaming);
    for (int round = 0; round < 20; ++round) {
        CCheckingPort port;
        if (!OpenPort(port))
            break;
        // Let chunks flow, and leave one waiting for the UI thread when Close comes.
        QTimer::singleShot(20, [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
        const auto start = Clock::now();
        port.Close();
        worst = std::max(worst, SecondsSince(start));
    }
    streaming = false;
    feeder.join();
    std::printf("close while data streams: worst of 20: %.2f ms\n", worst * 1e3);
}

} // namespace

int main(int argc, char** argv) {
    const brivox::bench::CBenchFolder folder;
    if (!folder.IsReady())
        return 1;
    QCoreApplication application(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;

    brivox::CPseudoTerminal pty;
    if (const std::string error = pty.Open(); !error.empty()) {
        std::printf("%s\n", error.c_str());
        return 1;
    }
    brivox::RegisterPort(brivox::PortMapFolder(), kPortNumber, pty.SlavePath());
    BenchThroughput(pty);
    BenchCloseWhileStreaming(pty);
    BenchIdle(idleSeconds);
    brivox::UnregisterPort(brivox::PortMapFolder(), kPortNumber, pty.SlavePath());
    return 0;
}
