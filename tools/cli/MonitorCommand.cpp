#include "cli/MonitorCommand.h"

#include "cli/MonitorOptions.h"
#include "cli/PortSwitchOptions.h"
#include "cli/RunPort.h"
#include "cli/StopSignals.h"
#include "modbus/ModbusDecoder.h"
#include "platform/AppendFile.h"

#include <QEventLoop>
#include <QTimer>
#include <ostream>

namespace brivox::cli {

namespace {

constexpr int kPortError = 3;
constexpr int kFileError = 4;
// Lines go out in batches this far apart at most: a fast bus then costs a write per batch, not per
// frame. A stop signal or the end writes what is pending.
constexpr int kFlushMs = 20;

int64_t MicrosecondsOf(std::chrono::steady_clock::time_point moment) {
    return std::chrono::duration_cast<std::chrono::microseconds>(moment.time_since_epoch()).count();
}

int64_t SteadyUs() {
    return MicrosecondsOf(std::chrono::steady_clock::now());
}

int64_t WallUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// What the listening port reports, on the event loop's thread.
struct CPortEvents {
    // A chunk, with the time its read returned on the reader thread: the time the event loop
    // needs to deliver it does not count.
    std::function<void(const uint8_t* bytes, int count, int64_t arrivalUs)> receive;
    std::function<void(const std::string& reason)> lost; // reconnecting: waited for
    std::function<void()> back;
    std::function<void()> ended; // not reconnecting: the monitor ends
    std::function<void(const CModemLines& lines, int64_t atUs)> modem;
};

// A port that only listens.
class CListeningPort : public CSerialPort {
public:
    explicit CListeningPort(CPortEvents events) : m_events(std::move(events)) {}
    ~CListeningPort() override { Close(); }

protected:
    void OnReceive(const uint8_t* bytes, int count) override {
        m_events.receive(bytes, count, MicrosecondsOf(ChunkArrival()));
    }
    void OnPortLost() override {
        if (Reconnect())
            m_events.lost(GetLastError());
        else
            m_events.ended();
    }
    void OnPortReopened() override { m_events.back(); }
    void OnModemLinesChanged(const CModemLines& lines, CPortReader::Clock::time_point at) override {
        m_events.modem(lines, MicrosecondsOf(at));
    }

private:
    const CPortEvents m_events;
};

// Where the lines go: standard output and the log file, a batch at a time.
class CLineSink {
public:
    using Failure = std::function<void(const std::string& error)>;

    CLineSink(std::ostream& out, CAppendFile& log, Failure onLogFailure)
        : m_out(out), m_log(log), m_onLogFailure(std::move(onLogFailure)) {
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
        if (m_log.IsOpen() && !m_log.Append(m_pending))
            m_onLogFailure(m_log.Error());
        m_pending.clear();
    }

private:
    std::ostream& m_out;
    CAppendFile& m_log;
    const Failure m_onLogFailure;
    std::string m_pending;
    QTimer m_flush;
};

// Frames of a line as they end: by the gap (looked at when the idle timer fires, unless a read
// is still on its way), by the size limit or by the MODBUS framing.
class CMonitor {
public:
    CMonitor(const CMonitorOptions& options, CCliStreams& io, CAppendFile& log)
        : m_splitter(options.gapUs, FrameEndOf(options.modbus)),
          m_lines(options.format, options.modbus, {SteadyUs(), WallUs()}),
          m_sink(io.out, log, [this](const std::string& error) { FileFailed(error); }),
          m_err(io.err), m_keepGoing(options.keepGoing),
          m_port({[this](const uint8_t* b, int n, int64_t at) { Receive(b, n, at); },
                  [this](const std::string& reason) { Lost(reason); },
                  [this] { m_sink.Add(m_lines.BackLine(MicrosecondsOf(m_port.OpenedAt()))); },
                  [this] { m_loop.exit(kPortError); },
                  [this](const CModemLines& lines, int64_t at) {
                      m_sink.Add(m_lines.ModemLine(at, lines));
                  }}) {
        m_idle.setSingleShot(true);
        m_idle.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_idle, &QTimer::timeout, [this] { OnIdle(); });
    }

    CListeningPort& Port() { return m_port; }
    // A capture log that fails is a file that could not be written, as the log is.
    void WatchCapture() {
        if (const std::shared_ptr<CCaptureLog> capture = m_port.CaptureLog())
            capture->SetFailureHook([this](const std::string& error) {
                QMetaObject::invokeMethod(
                    &m_idle, [this, error] { FileFailed(error); }, Qt::QueuedConnection);
            });
    }
    // Runs until Stop, the port goes away or a file fails (without --keep-going); 0, kPortError
    // for a port that went away, kFileError when a file could not be written.
    int Run(int seconds) {
        if (seconds > 0)
            QTimer::singleShot(std::chrono::seconds(seconds), &m_loop, [this] { m_loop.exit(0); });
        const int code = m_loop.exec();
        Emit(m_splitter.Flush());
        m_sink.Add(m_lines.Summary());
        m_sink.Flush();
        return m_fileFailed ? kFileError : code;
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
    // The frame in progress ends with the device: nothing of the next one joins it.
    void Lost(const std::string& reason) {
        Emit(m_splitter.Flush());
        m_sink.Add(m_lines.LostLine(SteadyUs(), reason));
    }
    void FileFailed(const std::string& error) {
        m_err << "brivox-cli monitor: " << error << std::endl;
        m_fileFailed = true;
        if (!m_keepGoing)
            m_loop.exit(0);
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
    CLineSink m_sink;
    std::ostream& m_err;
    const bool m_keepGoing;
    bool m_fileFailed = false;
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
    CAppendFile log;
    if (!options.logPath.empty()) {
        if (const std::string error = log.Open(options.logPath); !error.empty()) {
            io.err << "brivox-cli monitor: cannot open " << error << "\n";
            return kFileError;
        }
    }
    EventLoop();
    CMonitor monitor(options, io, log);
    const CStopSignalWatch stop([&monitor] { monitor.Stop(); });
    if (const std::string error = ApplyPortSwitches(args, monitor.Port()); !error.empty()) {
        io.err << "brivox-cli monitor: " << error << "\n";
        return kFileError;
    }
    monitor.WatchCapture();
    if (!OpenRunPort(monitor.Port(), options.port, "monitor", io.err, &stop))
        return kPortError;
    io.err << "brivox-cli monitor: listening on " << args.Value("--port") << " at "
           << options.port.settings << ", a frame ends after " << GapText(options.gapUs)
           << " of quiet; Ctrl+C ends" << std::endl;
    const int code = monitor.Run(options.seconds);
    if (code == kPortError)
        io.err << "brivox-cli monitor: " << monitor.Port().GetLastError() << "\n";
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
                                   {"--keep-going", false},
                                   {"--timeout", true},
                                   {"--seconds", true}});
    options = WithLineOptions(options);
    return {"monitor",
            "--port COM<n>|DEVICE [--settings 115200,N,8,1] [--gap MS] [--modbus rtu|ascii] "
            "[--format text|jsonl] [--log FILE] [--keep-going] [--timeout MS] [--seconds N] " +
                std::string(kPortSwitchUsage) + " " + kLineOptionsUsage,
            "listen to the port without ever writing and print a line per frame (bytes with no "
            "idle gap between them): time, gap, length, hex and ASCII, with --modbus decoded; a "
            "summary at the end (Ctrl+C or --seconds); exit 3 for a port error, 4 when the log or "
            "capture could not be written (--keep-going listens on after that); with --reconnect "
            "it waits --timeout ms (2000) for a device that is not there yet, goes on listening "
            "when the device returns, and says when it went and came back",
            options,
            RunMonitor,
            kPortError};
}

} // namespace brivox::cli
