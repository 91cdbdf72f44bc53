#include "cli/LoopbackCommand.h"

#include "cli/RunPort.h"
#include "cli/StopSignals.h"
#include "session/TestBlock.h"
#include "testbench/LoopbackTally.h"

#include <QEventLoop>
#include <QTimer>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <ostream>
#include <thread>

namespace brivox::cli {

namespace {

constexpr int kDefaultSeconds = 5;
// Sent bytes not yet seen back; a line that loses them all gets a block per quiet time.
constexpr size_t kInFlight = 3 * kTestBlockSize;
// The loop has ended once nothing came back for this long.
constexpr int kQuietMs = 300;
constexpr int kPumpMs = 50;

int64_t MillisecondsSince(Clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// Writes queued test blocks on a thread of its own, so that a slow line never holds up the event
// loop that takes the bytes coming back.
class CBlockWriter {
public:
    explicit CBlockWriter(CSerialPort& port) : m_port(port), m_thread([this] { Run(); }) {}
    ~CBlockWriter() {
        {
            const std::lock_guard lock(m_mutex);
            m_ending = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void Enqueue() {
        {
            const std::lock_guard lock(m_mutex);
            ++m_queued;
        }
        m_changed.notify_all();
    }
    // Blocks queued or being written.
    int Busy() const {
        const std::lock_guard lock(m_mutex);
        return m_queued;
    }
    Clock::time_point LastWrite() const {
        const std::lock_guard lock(m_mutex);
        return m_lastWrite;
    }

private:
    void Run() {
        const std::vector<uint8_t> block = TestBlock();
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_ending || m_queued > 0; });
            if (m_ending)
                return;
            lock.unlock();
            const bool written = m_port.Write(block.data(), block.size());
            lock.lock();
            m_lastWrite = Clock::now();
            // A port that went away writes nothing more; its block counts as lost.
            m_queued = written ? m_queued - 1 : 0;
        }
    }

    CSerialPort& m_port;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_queued = 0;
    bool m_ending = false;
    Clock::time_point m_lastWrite = Clock::now();
    std::thread m_thread;
};

class CLoopPort : public CSerialPort {
public:
    CLoopPort(std::function<void(const uint8_t*, int)> receiver, std::function<void()> lost)
        : m_receiver(std::move(receiver)), m_lost(std::move(lost)) {}
    ~CLoopPort() override { Close(); }

protected:
    void OnReceive(const uint8_t* bytes, int count) override { m_receiver(bytes, count); }
    void OnPortLost() override { m_lost(); }

private:
    const std::function<void(const uint8_t*, int)> m_receiver;
    const std::function<void()> m_lost;
};

// Sends test blocks while the time lasts and as long as few bytes are on their way, then waits
// until every byte is back or the line has gone quiet.
class CLoopback {
public:
    explicit CLoopback(int seconds)
        : m_seconds(seconds), m_port([this](const uint8_t* b, int n) { Receive(b, n); },
                                     [this] { m_loop.exit(kPortError); }) {
        QObject::connect(&m_pump, &QTimer::timeout, [this] { Pump(); });
    }

    CLoopPort& Port() { return m_port; }
    void Stop() { m_stopped = true; }

    // 0 when the loop ended, kPortError when the port went away.
    int Run() {
        CBlockWriter writer(m_port);
        m_writer = &writer;
        m_start = Clock::now();
        m_pump.start(kPumpMs);
        Pump();
        const int code = m_loop.exec();
        m_pump.stop();
        m_writer = nullptr;
        m_tally.Finish();
        return code;
    }

    const CLoopbackTally& Tally() const { return m_tally; }
    double Seconds() const {
        return std::chrono::duration<double>(std::max(m_lastReceive, m_start) - m_start).count();
    }

private:
    void Receive(const uint8_t* bytes, int count) {
        m_lastReceive = Clock::now();
        m_tally.Received(bytes, static_cast<size_t>(count));
        Pump();
    }
    int64_t QuietMs() const {
        return MillisecondsSince(std::max({m_lastReceive, m_writer->LastWrite(), m_start}));
    }
    void Pump() {
        if (m_writer == nullptr)
            return;
        const bool quiet = QuietMs() >= kQuietMs && m_writer->Busy() == 0;
        if (m_stopped || MillisecondsSince(m_start) >= m_seconds * 1000) {
            if (m_writer->Busy() == 0 && (m_tally.Open() == 0 || quiet))
                m_loop.exit(0);
            return;
        }
        if (quiet || m_tally.Open() < kInFlight) {
            const std::vector<uint8_t> block = TestBlock();
            do {
                m_tally.Sent(block.data(), block.size());
                m_writer->Enqueue();
            } while (m_tally.Open() < kInFlight);
        }
    }

    const int m_seconds;
    CLoopbackTally m_tally;
    QEventLoop m_loop;
    QTimer m_pump;
    CBlockWriter* m_writer = nullptr;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastReceive{};
    bool m_stopped = false;
    CLoopPort m_port;
};

void PrintFigures(const CLoopback& loopback, std::ostream& out) {
    const CLoopbackTally& tally = loopback.Tally();
    const int64_t sent = tally.Intact() + tally.Lost() + tally.Corrupt();
    const int64_t received = tally.Intact() + tally.Corrupt() + tally.Extra();
    const double seconds = loopback.Seconds();
    const double rate = seconds > 0 ? static_cast<double>(tally.Intact()) / seconds : 0;
    char figures[256];
    std::snprintf(figures, sizeof figures,
                  "sent %lld bytes (%lld test blocks), received %lld\n"
                  "intact %lld, lost %lld, corrupt %lld, extra %lld\n"
                  "throughput %.0f bytes/s (%.1f kbit/s) in %.3f s\n",
                  static_cast<long long>(sent), static_cast<long long>(sent / kTestBlockSize),
                  static_cast<long long>(received), static_cast<long long>(tally.Intact()),
                  static_cast<long long>(tally.Lost()), static_cast<long long>(tally.Corrupt()),
                  static_cast<long long>(tally.Extra()), rate, rate * 8 / 1000, seconds);
    out << figures;
}

int RunLoopback(const CCliArguments& args, CCliStreams& io) {
    CRunOptions options;
    int seconds = kDefaultSeconds;
    std::string error = ParseRunOptions(args, options);
    if (error.empty())
        error = ParseSeconds(args, seconds);
    if (!error.empty()) {
        io.err << "brivox-cli loopback: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    CLoopback loopback(seconds);
    const CStopSignalWatch stop([&loopback] { loopback.Stop(); });
    if (!OpenRunPort(loopback.Port(), options, "loopback", io.err))
        return kPortError;
    const int code = loopback.Run();
    PrintFigures(loopback, io.out);
    if (code != 0) {
        io.err << "brivox-cli loopback: " << loopback.Port().GetLastError() << "\n";
        return kPortError;
    }
    const CLoopbackTally& tally = loopback.Tally();
    const bool whole = tally.Lost() == 0 && tally.Corrupt() == 0 && tally.Extra() == 0;
    io.out << (whole ? "result ok\n" : "result faults\n");
    return whole ? 0 : 1;
}

} // namespace

CCommand LoopbackCommand() {
    return {"loopback",
            "--port COM<n>|DEVICE [--settings 115200,N,8,1] [--seconds N] " +
                std::string(kLineOptionsUsage),
            "send the 1 KB test block again and again (for 5 s by default) through a port whose "
            "output comes back to its input (a loopback plug, brivox-devsim --echo) and count "
            "the bytes lost, corrupt and extra and the throughput; exit 0 only when every byte "
            "came back intact, 1 otherwise, 3 for a port error",
            WithLineOptions({{"--port", true}, {"--settings", true}, {"--seconds", true}}),
            RunLoopback,
            kPortError};
}

} // namespace brivox::cli
