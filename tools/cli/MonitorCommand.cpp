#include "cli/MonitorCommand.h"

#include "capture/PcapngWriter.h"
#include "capture/PortTimeline.h"
#include "cli/LineSink.h"
#include "cli/ListeningPort.h"
#include "cli/MonitorOptions.h"
#include "cli/PortSwitchOptions.h"
#include "cli/RunPort.h"
#include "cli/StopSignals.h"
#include "modbus/ModbusDecoder.h"

#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <ostream>

namespace brivox::cli {

namespace {

int64_t SteadyUs() {
    return CWallClock::SteadyUs(std::chrono::steady_clock::now());
}

// One port of the monitor: its frames end by its own gaps (looked at when its idle timer fires,
// unless a read is still on its way), by the size limit or by the MODBUS framing.
struct CWatchedPort {
    CWatchedPort(const CMonitorOptions& options, size_t index, CFrameSplitter::FrameEnd frameEnd,
                 CPortEvents events)
        : name(options.names[index]), splitter(options.gapUs, std::move(frameEnd)),
          port(std::move(events)) {
        idle.setSingleShot(true);
        idle.setTimerType(Qt::PreciseTimer);
    }

    const std::string name;
    CFrameSplitter splitter;
    QTimer idle;
    CListeningPort port;
};

// Listens to one port or several on one clock, and prints (and writes to the pcapng file) their
// frames in the order they began.
class CMonitor {
public:
    CMonitor(const CMonitorOptions& options, CCliStreams& io, CAppendFile& log,
             std::shared_ptr<CPcapngWriter> pcapng, CWallClock clock)
        : m_lines(options.format, options.modbus, clock, options.ports.size() > 1),
          m_sink(io.out, log, [this](const std::string& error) { FileFailed(error); }),
          m_pcapng(std::move(pcapng)), m_err(io.err), m_keepGoing(options.keepGoing) {
        for (size_t i = 0; i < options.ports.size(); ++i)
            AddPort(options, i);
        if (m_pcapng)
            m_pcapng->SetFailureHook(PostedFailure());
    }

    size_t Ports() const { return m_ports.size(); }
    CListeningPort& Port(size_t index) { return m_ports[index]->port; }
    std::vector<CNamedPort> NamedPorts() {
        std::vector<CNamedPort> named;
        for (const auto& watched : m_ports)
            named.push_back({&watched->port, watched->name});
        return named;
    }
    // A capture that fails is a file that could not be written, as the log is.
    void WatchCaptures() {
        for (const auto& watched : m_ports)
            if (const std::shared_ptr<CCaptureSink> capture = watched->port.Capture())
                capture->SetFailureHook(PostedFailure());
    }
    // Runs until Stop, a port goes away or a file fails (without --keep-going); 0, kPortError
    // for a port that went away, kFileError when a file could not be written.
    int Run(int seconds) {
        if (seconds > 0)
            QTimer::singleShot(std::chrono::seconds(seconds), &m_loop, [this] { m_loop.exit(0); });
        const int code = m_loop.exec();
        for (size_t i = 0; i < m_ports.size(); ++i)
            m_timeline.Add(i, m_ports[i]->splitter.Flush());
        for (const CPortTimeline::CPortFrame& frame : m_timeline.ReleaseAll())
            Emit(frame);
        m_sink.Add(m_lines.Summary());
        m_sink.Flush();
        return m_fileFailed ? kFileError : code;
    }
    void Stop() { m_loop.exit(0); }
    // Why the port that ended the monitor went away.
    std::string EndedBecause() const { return m_ended ? m_ended->GetLastError() : ""; }

private:
    static CFrameSplitter::FrameEnd FrameEndOf(CMonitorLines::Modbus modbus) {
        if (modbus == CMonitorLines::Modbus::None)
            return nullptr;
        const bool ascii = modbus == CMonitorLines::Modbus::Ascii;
        return [ascii](const std::vector<uint8_t>& bytes) { return ModbusFrameEnd(bytes, ascii); };
    }

    void AddPort(const CMonitorOptions& options, size_t i) {
        CPortEvents events{
            [this, i](const uint8_t* b, const uint8_t* m, int n, int64_t at) {
                Receive(i, b, m, n, at);
            },
            [this, i](const std::string& reason) { Lost(i, reason); },
            [this, i] { m_sink.Add(m_lines.BackLine(CWallClock::SteadyUs(Port(i).OpenedAt()))); },
            [this, i] {
                m_ended = &Port(i);
                m_loop.exit(kPortError);
            },
            [this](const CModemLines& lines, int64_t at) {
                m_sink.Add(m_lines.ModemLine(at, lines));
            }};
        m_ports.push_back(
            std::make_unique<CWatchedPort>(options, i, FrameEndOf(options.modbus), events));
        QObject::connect(&m_ports.back()->idle, &QTimer::timeout, [this, i] { OnIdle(i); });
    }
    // Writers fail on the thread that wrote: the news comes to the loop's thread.
    CCaptureSink::FailureHook PostedFailure() {
        return [this](const std::string& error) {
            QMetaObject::invokeMethod(
                &m_loop, [this, error] { FileFailed(error); }, Qt::QueuedConnection);
        };
    }

    void Receive(size_t i, const uint8_t* bytes, const uint8_t* marks, int count,
                 int64_t arrivalUs) {
        Collect(i, m_ports[i]->splitter.Feed(bytes, static_cast<size_t>(count), arrivalUs, marks));
        ArmIdle(i);
    }
    // The frame in progress ends with the device: nothing of the next one joins it.
    void Lost(size_t i, const std::string& reason) {
        Collect(i, m_ports[i]->splitter.Flush());
        m_sink.Add(m_lines.LostLine(SteadyUs(), reason));
    }
    void FileFailed(const std::string& error) {
        m_err << "brivox-cli monitor: " << error << std::endl;
        m_fileFailed = true;
        if (!m_keepGoing)
            m_loop.exit(0);
    }
    void OnIdle(size_t i) {
        if (!Port(i).HasUndelivered())
            Collect(i, m_ports[i]->splitter.Idle(SteadyUs()));
        ArmIdle(i);
    }
    void ArmIdle(size_t i) {
        CWatchedPort& watched = *m_ports[i];
        const int64_t deadlineUs = watched.splitter.IdleDeadlineUs();
        if (deadlineUs < 0 || watched.idle.isActive())
            return;
        const int64_t waitUs = std::max<int64_t>(0, deadlineUs - SteadyUs());
        watched.idle.start(static_cast<int>((waitUs + 999) / 1000));
    }
    // Frames of one port join the timeline, and those no other port can still precede go out.
    void Collect(size_t i, std::vector<CLineFrame> frames) {
        m_timeline.Add(i, std::move(frames));
        std::vector<int64_t> earliest;
        for (const auto& watched : m_ports) {
            const int64_t start = watched->splitter.InProgressStartUs();
            earliest.push_back(watched->port.HasUndelivered() ? CPortTimeline::kUnknown
                               : start < 0                    ? CPortTimeline::kNothing
                                                              : start);
        }
        for (const CPortTimeline::CPortFrame& frame : m_timeline.Release(earliest))
            Emit(frame);
    }
    void Emit(const CPortTimeline::CPortFrame& portFrame) {
        const CLineFrame& frame = portFrame.frame;
        const std::string& name = m_ports[portFrame.port]->name;
        m_sink.Add(m_lines.Line(frame, name));
        if (m_pcapng)
            m_pcapng->Write(name, PacketDirection::Inbound, frame.startUs,
                            {frame.bytes.data(), frame.marks.empty() ? nullptr : frame.marks.data(),
                             frame.bytes.size()});
    }

    CMonitorLines m_lines;
    CLineSink m_sink;
    std::shared_ptr<CPcapngWriter> m_pcapng;
    std::ostream& m_err;
    const bool m_keepGoing;
    bool m_fileFailed = false;
    CSerialPort* m_ended = nullptr;
    QEventLoop m_loop;
    CPortTimeline m_timeline;
    std::vector<std::unique_ptr<CWatchedPort>> m_ports;
};

std::string GapText(int64_t gapUs) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(gapUs) / 1000.0);
    return text;
}

std::string NamesText(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

// The log and the pcapng file, opened before anything listens; an error text.
std::string OpenOutputs(const CMonitorOptions& options, CAppendFile& log,
                        std::shared_ptr<CPcapngWriter>& pcapng, const CWallClock& clock) {
    if (!options.logPath.empty())
        if (std::string error = log.Open(options.logPath); !error.empty())
            return error;
    if (options.pcapngPath.empty())
        return "";
    pcapng = std::make_shared<CPcapngWriter>(clock);
    return pcapng->Open(options.pcapngPath);
}

bool OpenPorts(CMonitor& monitor, const CMonitorOptions& options, std::ostream& err,
               const CStopSignalWatch& stop) {
    for (size_t i = 0; i < monitor.Ports(); ++i)
        if (!OpenRunPort(monitor.Port(i), options.ports[i], "monitor", err, &stop))
            return false;
    return true;
}

int RunMonitor(const CCliArguments& args, CCliStreams& io) {
    CMonitorOptions options;
    if (const std::string error = ParseMonitorOptions(args, options); !error.empty()) {
        io.err << "brivox-cli monitor: " << error << "\n";
        return kPortError;
    }
    const CWallClock clock = CWallClock::Now();
    CAppendFile log;
    std::shared_ptr<CPcapngWriter> pcapng;
    if (const std::string error = OpenOutputs(options, log, pcapng, clock); !error.empty()) {
        io.err << "brivox-cli monitor: cannot open " << error << "\n";
        return kFileError;
    }
    EventLoop();
    CMonitor monitor(options, io, log, pcapng, clock);
    const CStopSignalWatch stop([&monitor] { monitor.Stop(); });
    if (const std::string error = ApplyPortSwitches(args, monitor.NamedPorts()); !error.empty()) {
        io.err << "brivox-cli monitor: " << error << "\n";
        return kFileError;
    }
    monitor.WatchCaptures();
    if (!OpenPorts(monitor, options, io.err, stop))
        return kPortError;
    io.err << "brivox-cli monitor: listening on " << NamesText(options.names) << " at "
           << options.port.settings << ", a frame ends after " << GapText(options.gapUs)
           << " of quiet; Ctrl+C ends" << std::endl;
    const int code = monitor.Run(options.seconds);
    if (code == kPortError)
        io.err << "brivox-cli monitor: " << monitor.EndedBecause() << "\n";
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
                                   {"--pcapng", true},
                                   {"--keep-going", false},
                                   {"--timeout", true},
                                   {"--seconds", true}});
    options = WithLineOptions(options);
    return {"monitor",
            "--port COM<n>|DEVICE [--port ...] [--settings 115200,N,8,1] [--gap MS] "
            "[--modbus rtu|ascii] [--format text|jsonl] [--log FILE] [--pcapng FILE] "
            "[--keep-going] [--timeout MS] [--seconds N] " +
                std::string(kPortSwitchUsage) + " " + kLineOptionsUsage,
            "listen to the port without ever writing and print a line per frame (bytes with no "
            "idle gap between them): time, gap, length, hex and ASCII, with --modbus decoded and "
            "each reply's time after its request; a summary at the end (Ctrl+C or --seconds). "
            "Several --port on one clock, their frames in time order, each line naming its port. "
            "--pcapng writes a packet a frame for Wireshark; exit 3 for a port error, 4 when the "
            "log, pcapng file or capture could not be written (--keep-going listens on after "
            "that); with --reconnect it waits --timeout ms (2000) for a device that is not there "
            "yet, goes on listening when the device returns, and says when it went and came back",
            options,
            RunMonitor,
            kPortError};
}

} // namespace brivox::cli
