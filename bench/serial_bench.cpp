// Throughput of a pseudo-terminal into OnReceive on a Qt event loop and the CPU the receiving
// takes, the same through ser2net on 127.0.0.1 (RFC 2217 and raw TCP) in front of that
// pseudo-terminal, the CPU an open idle port takes, how long Close takes while data streams, and
// the RS-485 turnaround: from the last byte leaving (read by the other end) to the moment the
// port would switch RTS off, which should be one character time.
// Run: build/bench/bench_serial [idle seconds, default 10]
#include "BenchSupport.h"
#include "serial/PortMap.h"
#include "serial/PseudoTerminal.h"
#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

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

// Writes the pattern to the pseudo-terminal's master; the CPU it took goes to cpuSeconds.
void Feed(int master, uint64_t total, const std::atomic<bool>* keepGoing,
          double* cpuSeconds = nullptr) {
    const double cpuBefore = brivox::bench::CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
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
    if (cpuSeconds != nullptr)
        *cpuSeconds = brivox::bench::CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuBefore;
}

bool OpenPort(CCheckingPort& port) {
    port.SetCommPort(kPortNumber);
    port.SetSettings("115200,N,8,1");
    if (port.Open())
        return true;
    std::printf("cannot open the port: %s\n", port.GetLastError().c_str());
    return false;
}

// Streams total pattern bytes from the pseudo-terminal into the port and prints the rate and
// the CPU of this process without the feeder's: the reader, the hand-over and OnReceive.
void BenchThroughput(const char* label, brivox::CPseudoTerminal& pty, CCheckingPort& port,
                     uint64_t total) {
    port.wanted = total;
    double feederCpu = 0;
    const double cpuBefore = brivox::bench::ProcessCpuSeconds();
    const auto start = Clock::now();
    std::thread feeder(Feed, pty.Master(), total, nullptr, &feederCpu);
    QCoreApplication::exec();
    const double seconds = SecondsSince(start);
    feeder.join();
    const double cpu = brivox::bench::ProcessCpuSeconds() - cpuBefore - feederCpu;
    std::printf("%s -> OnReceive: %llu bytes in %.2f s: %.1f MB/s, %llu chunks (%.1f bytes "
                "each), %llu bytes wrong or out of order; receiving took %.2f s CPU: %.0f %% of "
                "a core, %.1f us per KB\n",
                label, static_cast<unsigned long long>(port.received), seconds,
                static_cast<double>(port.received) / seconds / 1e6,
                static_cast<unsigned long long>(port.chunks),
                static_cast<double>(port.received) / static_cast<double>(port.chunks),
                static_cast<unsigned long long>(port.wrong), cpu, cpu / seconds * 100,
                cpu * 1e6 / (static_cast<double>(port.received) / 1024));
}

void BenchLocalThroughput(brivox::CPseudoTerminal& pty) {
    CCheckingPort port;
    if (OpenPort(port))
        BenchThroughput("pty", pty, port, 32ull << 20);
}

// ser2net on 127.0.0.1 serving the pseudo-terminal; its CPU is what it used until Stop.
class CSer2net {
public:
    CSer2net(const std::string& folder, const std::string& device, const char* accepter)
        : m_config(folder + "/ser2net.yaml"), m_pidFile(folder + "/ser2net.pid") {
        std::ofstream(m_config) << "connection: &bench\n    accepter: " << accepter << ",127.0.0.1,"
                                << kServerPort << "\n    connector: serialdev," << device
                                << ",115200n81,local\n";
        const char* argv[] = {"ser2net",         "-n",   "-u", "-c", m_config.c_str(), "-P",
                              m_pidFile.c_str(), nullptr};
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, argv[0], &quiet, nullptr, const_cast<char* const*>(argv),
                         environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&quiet);
    }
    ~CSer2net() { Stop(); }

    // Ends ser2net; the CPU seconds it used.
    double Stop() {
        if (m_pid <= 0)
            return 0;
        kill(m_pid, SIGTERM);
        rusage usage{};
        wait4(m_pid, nullptr, 0, &usage);
        m_pid = 0;
        return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    }

    static constexpr int kServerPort = 27391;

private:
    static double Seconds(const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    }

    std::string m_config;
    std::string m_pidFile;
    pid_t m_pid = 0;
};

void BenchServerThroughput(const std::string& folder, brivox::CPseudoTerminal& pty,
                           const char* label, const char* accepter, const char* scheme) {
    const int number = kPortNumber + 1;
    brivox::RegisterPort(brivox::PortMapFolder(), number,
                         scheme + std::string("127.0.0.1:") +
                             std::to_string(CSer2net::kServerPort));
    CSer2net server(folder, pty.SlavePath(), accepter);
    CCheckingPort port;
    port.SetCommPort(number);
    port.SetSettings("115200,N,8,1");
    // ser2net says nothing when it listens: the port opens once it does.
    for (int i = 0; i < 250 && !port.Open(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!port.IsOpen()) {
        std::printf("cannot open the port: %s\n", port.GetLastError().c_str());
        return;
    }
    BenchThroughput(label, pty, port, 32ull << 20);
    port.Close();
    std::printf("  ser2net itself: %.2f s CPU\n", server.Stop());
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
    std::thread feeder(Feed, pty.Master(), 0, &streaming, nullptr);
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

// A pseudo-terminal has no RTS, so the turnaround is timed where the port switches it: the end
// of AwaitSent after a write, against the other end's read of the last byte.
void BenchTurnaround(brivox::CPseudoTerminal& pty) {
    for (const char* settings : {"9600,N,8,1", "115200,N,8,1"}) {
        brivox::CSerialPort port;
        port.SetCommPort(kPortNumber);
        port.SetSettings(settings);
        if (!port.Open())
            return;
        std::vector<double> lateUs;
        for (int i = 0; i < 200; ++i) {
            Clock::time_point lastRead{};
            std::thread reader([&] {
                uint8_t byte;
                pollfd fd{pty.Master(), POLLIN, 0};
                if (poll(&fd, 1, 1000) > 0 && read(pty.Master(), &byte, 1) == 1)
                    lastRead = Clock::now();
            });
            const uint8_t byte = 0x55;
            port.Write(&byte, 1);
            port.AwaitSent();
            const Clock::time_point switched = Clock::now();
            reader.join();
            lateUs.push_back(
                std::chrono::duration<double, std::micro>(switched - lastRead).count());
        }
        std::sort(lateUs.begin(), lateUs.end());
        std::printf("RS-485 turnaround at %s: RTS off %.0f us (p50), %.0f us (p99) after the last "
                    "byte left; one character is %.0f us\n",
                    settings, lateUs[lateUs.size() / 2], lateUs[lateUs.size() * 99 / 100],
                    1e7 / std::atof(settings));
    }
}

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
    BenchLocalThroughput(pty);
    BenchServerThroughput(folder.Path(), pty, "ser2net RFC 2217", "telnet(rfc2217),tcp",
                          "rfc2217://");
    BenchServerThroughput(folder.Path(), pty, "ser2net raw TCP", "tcp", "tcp://");
    BenchCloseWhileStreaming(pty);
    BenchTurnaround(pty);
    BenchIdle(idleSeconds);
    brivox::UnregisterPort(brivox::PortMapFolder(), kPortNumber, pty.SlavePath());
    return 0;
}
