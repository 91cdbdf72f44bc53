#include "cli/MonitorCommand.h"

#include "cli/MonitorOptions.h"
#include "cli/PortSwitchOptions.h"
#include "cli/RunPort.h"
#include "cli/StopSignals.h"
#include "modbus/ModbusDecoder.h"
#include "platform/FileIO.h"

#include <QEventLoop>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <ostream>
#include <unistd.h>

namespace brivox::cli {

namespace {

constexpr int kPortError = 3;
// Lines go out in batches this far apart at most: a fast bus then costs a write per batch, not per
// frame. A stop signal or the end writes what is pending.
constexpr int kFlushMs = 20;

int64_t SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t WallUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A port that only listens. Each chunk carries the time its read returned, taken on the reader
// thread, so that the time the event loop needs to deliver it does not count.
class CListeningPort : public CSerialPort {
public:
    using Receiver = std::function<void(const uint8_t* bytes, int count, int64_t arrivalUs)>;

    CListeningPort(Receiver receiver, std::function<void()> lost)
        : m_receiver(std::move(receiver)), m_lost(std::move(lost)) {}
    ~CListeningPort() override { Close(); }

    // Whether chunks have been read that the event loop has not delivered yet.
    bool HasUndelivered() const {
        const std::lock_guard lock(m_mutex);
        return !m_arrivals.empty();
    }

protected:
    void OnReceiveInThread(const uint8_t*, int) override {
        const std::lock_guard lock(m_mutex);
        m_arrivals.push_back(SteadyUs());
    }
    void OnReceive(const uint8_t* bytes, int count) override {
        int64_t arrivalUs = 0;
        {
            const std::lock_guard lock(m_mutex);
            arrivalUs = m_arrivals.front();
            m_arrivals.pop_front();
        }
        m_receiver(bytes, count, arrivalUs);
    }
    // With reconnecting on, the port waits for its device and the monitor goes on listening.
    void OnPortLost() override {
        if (!Reconnect())
            m_lost();
    }
    void OnPortReopened() override {
        const std::lock_guard lock(m_mutex);
        m_arrivals.clear(); // chunks of the lost device are never delivered
    }

private:
    const Receiver m_receiver;
    const std::function<void()> m_lost;
    mutable std::mutex m_mutex;
    std::deque<int64_t> m_arrivals;
};

// Where the lines go: standard output and the log file, a batch at a time.
class CLineSink {
public:
    CLineSink(std::ostream& out, int logFd) : m_out(out), m_logFd(logFd) {
        m_flush.setSingleShot(true);
        QObject::connect(&m_flush, &QTimer::timeout, [this] { Flush(); });
    }

    void Add(const std::string& text) {
        m_pending += text;
        if (!m_flush.isActive())
            m_flush.start(kFlushMs);
    }
    void Flush() {
        if (m_pending.empty())
            return;
        m_out << m_pending << std::flush;
        if (m_logFd >= 0)
            WriteAll(m_logFd, m_pending.data(), m_pending.size());
        m_pending.clear();
    }

private:
    std::ostream& m_out;
    const int m_logFd;
    std::string m_pending;
    QTimer m_flush;
};

// Frames of a line as they end: by the gap (looked at when the idle timer fires, unless a read
// is still on its way), by the size limit or by the MODBUS framing.
class CMonitor {
public:
    CMonitor(const CMonitorOptions& options, CLineSink& sink)
        : m_splitter(options.gapUs, FrameEndOf(options.modbus)),
          m_lines(options.format, options.modbus, {SteadyUs(), WallUs()}), m_sink(sink),
          m_port([this](const uint8_t* b, int n, int64_t at) { Receive(b, n, at); },
                 [this] { m_loop.exit(kPortError); }) {
        m_idle.setSingleShot(true);
        m_idle.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_idle, &QTimer::timeout, [this] { OnIdle(); });
    }

    CListeningPort& Port() { return m_port; }
    // Runs until Stop or the port goes away; 0, or kPortError for a port that went away.
    int Run(int seconds) {
        if (seconds > 0)
            QTimer::singleShot(std::chrono::seconds(seconds), &m_loop, [this] { m_loop.exit(0); });
        const int code = m_loop.exec();
        Emit(m_splitter.Flush());
        m_sink.Add(m_lines.Summary());
        m_sink.Flush();
        return code;
    }
    void Stop() { m_loop.exit(0); }

private:
    static CFrameSplitter::FrameEnd FrameEndOf(CMonitorLines::Modbus modbus) {
        if (modbus == CMonitorLines::Modbus::None)
            return nullptr;
        const bool ascii = modbus == CMonitorLines::Modbus::Ascii;
        return [ascii](const std::vector<uint8_t>& bytes) { return ModbusFrameEnd(bytes, ascii); };
    }

    void Receive(const uint8_t* bytes, int count, int64_t arrivalUs) {
        Emit(m_splitter.Feed(bytes, static_cast<size_t>(count), arrivalUs));
        ArmIdle();
    }
    void OnIdle() {
        if (!m_port.HasUndelivered())
            Emit(m_splitter.Idle(SteadyUs()));
        ArmIdle();
    }
    void ArmIdle() {
        const int64_t deadlineUs = m_splitter.IdleDeadlineUs();
        if (deadlineUs < 0 || m_idle.isActive())
            return;
        const int64_t waitUs = std::max<int64_t>(0, deadlineUs - SteadyUs());
        m_idle.start(static_cast<int>((waitUs + 999) / 1000));
    }
    void Emit(const std::vector<CLineFrame>& frames) {
        for (const CLineFrame& frame : frames)
            m_sink.Add(m_lines.Line(frame));
    }

    CFrameSplitter m_splitter;
    CMonitorLines m_lines;
    CLineSink& m_sink;
    QEventLoop m_loop;
    QTimer m_idle;
    CListeningPort m_port;
};

std::string GapText(int64_t gapUs) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(gapUs) / 1000.0);
    return text;
}

int RunMonitor(const CCliArguments& args, CCliStreams& io) {
    CMonitorOptions options;
    if (const std::string error = ParseMonitorOptions(args, options); !error.empty()) {
        io.err << "brivox-cli monitor: " << error << "\n";
        return kPortError;
    }
    int logFd = -1;
    if (!options.logPath.empty()) {
        logFd = open(options.logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (logFd < 0) {
            io.err << "brivox-cli monitor: cannot open " << options.logPath << ": "
                   << std::strerror(errno) << "\n";
            return kPortError;
        }
    }
    EventLoop();
    CLineSink sink(io.out, logFd);
    CMonitor monitor(options, sink);
    const CStopSignalWatch stop([&monitor] { monitor.Stop(); });
    int code = kPortError;
    if (const std::string error = ApplyPortSwitches(args, monitor.Port()); !error.empty()) {
        io.err << "brivox-cli monitor: " << error << "\n";
    } else if (OpenRunPort(monitor.Port(), options.port, "monitor", io.err)) {
        io.err << "brivox-cli monitor: listening on " << args.Value("--port") << " at "
               << options.port.settings << ", a frame ends after " << GapText(options.gapUs)
               << " of quiet; Ctrl+C ends" << std::endl;
        code = monitor.Run(options.seconds);
        if (code != 0)
            io.err << "brivox-cli monitor: " << monitor.Port().GetLastError() << "\n";
    }
    if (logFd >= 0)
        close(logFd);
    return code;
}

} // namespace

CCommand MonitorCommand() {
    std::vector<COptionSpec> options = PortSwitchSpecs();
    options.insert(options.end(), {{"--port", true},
                                   {"--settings", true},
                                   {"--gap", true},
                                   {"--modbus", true},
                                   {"--format", true},
                                   {"--log", true},
                                   {"--seconds", true}});
    return {"monitor",
            "--port COM<n>|DEVICE [--settings 115200,N,8,1] [--gap MS] [--modbus rtu|ascii] "
            "[--format text|jsonl] [--log FILE] [--seconds N] " +
                std::string(kPortSwitchUsage),
            "listen to the port without ever writing and print a line per frame (bytes with no "
            "idle gap between them): time, gap, length, hex and ASCII, with --modbus decoded; a "
            "summary at the end (Ctrl+C or --seconds); exit 3 for a port error; with --reconnect "
            "it goes on listening when the device returns",
            options,
            RunMonitor,
            kPortError};
}

} // namespace brivox::cli
