#include "cli/ReplayCommand.h"

#include "capture/ReplayPlan.h"
#include "cli/RunPort.h"
#include "cli/StopSignals.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <ostream>
#include <thread>

namespace brivox::cli {

namespace {

constexpr int kInterrupted = 1;
constexpr double kMinSpeed = 0.01;
constexpr double kMaxSpeed = 100;
constexpr int kSettleMs = 100;

struct CReplayOptions {
    std::string file;
    CRunOptions port;
    double speed = 1; // 0: as fast as the line takes them
    CReplayPlan::Direction direction = CReplayPlan::Direction::Both;
    std::string from;
};

std::string ParseSpeed(const std::string& text, double& speed) {
    if (text == "max") {
        speed = 0;
        return "";
    }
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, speed);
    if (text.empty() || error != std::errc() || stop != end || speed < kMinSpeed ||
        speed > kMaxSpeed)
        return "--speed " + text + ": give max or a factor from 0.01 to 100 (1: as recorded)";
    return "";
}

std::string ParseDirection(const std::string& text, CReplayPlan::Direction& direction) {
    using Direction = CReplayPlan::Direction;
    for (const auto& [name, value] :
         {std::pair{"rx", Direction::Rx}, {"tx", Direction::Tx}, {"both", Direction::Both}}) {
        if (text == name) {
            direction = value;
            return "";
        }
    }
    return "--direction " + text + ": give rx, tx or both";
}

std::string ParseReplayOptions(const CCliArguments& args, CReplayOptions& options) {
    if (args.Positionals().size() != 1)
        return "give one capture file (FILE.pcapng)";
    options.file = args.Positionals()[0];
    if (std::string error = ParseRunOptions(args, options.port); !error.empty())
        return error;
    if (args.Has("--speed"))
        if (std::string error = ParseSpeed(args.Value("--speed"), options.speed); !error.empty())
            return error;
    if (args.Has("--direction"))
        if (std::string error = ParseDirection(args.Value("--direction"), options.direction);
            !error.empty())
            return error;
    options.from = args.Value("--from");
    return "";
}

// A port that writes and throws away what the device answers, counting it.
class CReplayPort : public CSerialPort {
public:
    ~CReplayPort() override { Close(); }

    int64_t Answered() const { return m_answered; }
    bool Lost() const { return m_lost; }

protected:
    void OnReceive(const uint8_t* /*bytes*/, int count) override { m_answered += count; }
    void OnPortLost() override {
        m_lost = true;
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::User));
    }

private:
    int64_t m_answered = 0;
    bool m_lost = false;
};

// Writes the plan's packets on a thread of its own, each at its recorded offset divided by the
// speed from the moment it starts (absolute deadlines, so that no wait adds to the next), while
// the event loop takes what the device answers.
class CReplayWriter {
public:
    CReplayWriter(const CReplayPlan& plan, double speed, CSerialPort& port)
        : m_plan(plan), m_speed(speed), m_port(port), m_thread([this] { Run(); }) {}
    ~CReplayWriter() {
        Stop();
        m_thread.join();
    }

    void Stop() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }
    bool Finished() const {
        const std::lock_guard lock(m_mutex);
        return m_finished;
    }
    size_t Written() const {
        const std::lock_guard lock(m_mutex);
        return m_written;
    }
    bool WriteFailed() const {
        const std::lock_guard lock(m_mutex);
        return m_writeFailed;
    }

private:
    void Run() {
        const auto start = std::chrono::steady_clock::now();
        for (const CReplayPlan::CItem& item : m_plan.items) {
            if (!AwaitTurn(start + OffsetOf(item)))
                break;
            const bool written = m_port.Write(item.bytes.data(), item.bytes.size());
            const std::lock_guard lock(m_mutex);
            m_writeFailed = !written;
            if (!written)
                break;
            ++m_written;
        }
        {
            const std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::User));
    }
    std::chrono::steady_clock::duration OffsetOf(const CReplayPlan::CItem& item) const {
        if (m_speed == 0)
            return {};
        return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double, std::micro>(static_cast<double>(item.offsetUs) /
                                                      m_speed));
    }
    // False when stopped first.
    bool AwaitTurn(std::chrono::steady_clock::time_point when) {
        std::unique_lock lock(m_mutex);
        return !m_changed.wait_until(lock, when, [this] { return m_stopped; });
    }

    const CReplayPlan& m_plan;
    const double m_speed;
    CSerialPort& m_port;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopped = false;
    bool m_finished = false;
    bool m_writeFailed = false;
    size_t m_written = 0;
    std::thread m_thread;
};

std::string Figures(size_t packets, int64_t bytes) {
    return std::to_string(packets) + (packets == 1 ? " packet (" : " packets (") +
           std::to_string(bytes) + (bytes == 1 ? " byte)" : " bytes)");
}

int64_t BytesOf(const CReplayPlan& plan, size_t packets) {
    int64_t bytes = 0;
    for (size_t i = 0; i < packets; ++i)
        bytes += static_cast<int64_t>(plan.items[i].bytes.size());
    return bytes;
}

// Waits in the event loop until the writer is done, the device goes away or a stop signal.
int Replay(const CReplayPlan& plan, const CReplayOptions& options, CReplayPort& port,
           const CStopSignalWatch& stop, CCliStreams& io) {
    const auto start = std::chrono::steady_clock::now();
    size_t written = 0;
    bool failed = false;
    {
        CReplayWriter writer(plan, options.speed, port);
        while (!writer.Finished() && !port.Lost() && !stop.Requested())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        writer.Stop();
        written = writer.Written();
        failed = writer.WriteFailed();
    }
    // Closing purges the driver's queue, and what a pseudo-terminal's peer has not read yet: the
    // last packet must have left, and the device may answer it.
    if (!port.Lost() && !failed) {
        port.AwaitSent();
        QEventLoop settle;
        QTimer::singleShot(kSettleMs, &settle, &QEventLoop::quit);
        settle.exec();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.3f s", seconds);
    io.out << "replayed " << Figures(written, BytesOf(plan, written)) << " of " << plan.items.size()
           << " in " << time << "; the device answered " << port.Answered()
           << (port.Answered() == 1 ? " byte" : " bytes") << "\n";
    if (port.Lost() || failed) {
        io.err << "brivox-cli replay: "
               << (port.Lost() ? port.GetLastError() : "a write to the port failed") << "\n";
        return kPortError;
    }
    return written == plan.items.size() ? 0 : kInterrupted;
}

int RunReplay(const CCliArguments& args, CCliStreams& io) {
    CReplayOptions options;
    if (const std::string error = ParseReplayOptions(args, options); !error.empty()) {
        io.err << "brivox-cli replay: " << error << "\n";
        return kPortError;
    }
    CReplayPlan plan;
    if (const std::string error = PlanReplay(options.file, options.direction, options.from, plan);
        !error.empty()) {
        io.err << "brivox-cli replay: " << error << "\n";
        return kPortError;
    }
    if (!plan.warning.empty())
        io.err << "brivox-cli replay: " << plan.warning << "\n";
    if (plan.foreign > 0)
        io.err << "brivox-cli replay: " << plan.foreign
               << " packets of interfaces that carry no serial bytes are left out\n";
    EventLoop();
    CReplayPort port;
    const CStopSignalWatch stop([] {});
    if (!OpenRunPort(port, options.port, "replay", io.err, &stop))
        return kPortError;
    io.err << "brivox-cli replay: " << Figures(plan.items.size(), plan.bytes) << " to "
           << args.Value("--port")
           << (options.speed == 0 ? " as fast as the line takes them" : " at the recorded pace")
           << "; Ctrl+C ends" << std::endl;
    return Replay(plan, options, port, stop, io);
}

} // namespace

CCommand ReplayCommand() {
    return {"replay",
            "FILE.pcapng --port COM<n>|DEVICE [--settings 115200,N,8,1] [--speed 1|max|FACTOR] "
            "[--direction rx|tx|both] [--from PORT] [--timeout MS] " +
                std::string(kLineOptionsUsage),
            "write the bytes of a capture to the port again with their recorded gaps (--speed "
            "max: as fast as possible, a factor: that much faster), those recorded in one "
            "direction or on one port (--from COM5) if asked; exit 0 when every byte was "
            "written, 1 when Ctrl+C ended it first, 3 for a bad file or a port error",
            WithLineOptions({{"--port", true},
                             {"--settings", true},
                             {"--speed", true},
                             {"--direction", true},
                             {"--from", true},
                             {"--timeout", true}}),
            RunReplay,
            kPortError};
}

} // namespace brivox::cli
