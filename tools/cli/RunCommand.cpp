#include "cli/RunCommand.h"

#include "cli/CompileCommand.h"
#include "cli/ModbusOptions.h"
#include "cli/PortSwitchOptions.h"
#include "cli/RunOptions.h"
#include "cli/TrafficLog.h"
#include "modbus/ModbusReply.h"
#include "modbus/ModbusRequest.h"
#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "platform/Language.h"
#include "script/ScriptExecutor.h"
#include "serial/SerialPort.h"
#include "util/Text.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <thread>

namespace brivox::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPortError = 3;
constexpr int kTimedOut = 2;
// A MODBUS reply is judged once the line has been quiet this long after it: bytes that follow a
// frame belong to the answer too.
constexpr int kReplySettleMs = 50;

int64_t MillisecondsSince(Clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// The port and the script host of one run: received bytes go to the run state and the traffic
// log on the event loop's thread; sent bytes are logged as the worker reports them.
class CRunPort : public CSerialPort, public CScriptHost {
public:
    CRunPort(const COptionStore& options, std::ostream& out) : m_options(options), m_traffic(out) {}
    ~CRunPort() override { Close(); }

    int32_t ReadIntOption(const std::string& name, int32_t fallback) override {
        return m_options.GetInt(name, fallback);
    }
    bool WriteToPort(const uint8_t* data, int32_t count) override {
        Touch();
        return Write(data, static_cast<size_t>(count));
    }
    void SetRts(bool raised) override { SetRTS(raised); }
    void Report(uint8_t byte, ByteReport kind) override {
        Touch();
        if (kind == ByteReport::Sent)
            m_traffic.Add(CTrafficLog::Direction::Tx, &byte, 1);
        else if (kind == ByteReport::Mismatch && m_firstMismatch < 0)
            m_firstMismatch = m_compared.load();
        ++m_compared;
    }
    CScriptRunState& RunState() override { return m_state; }

    // Milliseconds since the last byte went out or was compared.
    int64_t QuietMs() const { return MillisecondsSince(m_lastActivity.load()); }
    int64_t ReceiveQuietMs() const { return MillisecondsSince(m_lastReceived); }
    bool Lost() const { return m_lost; }
    // The index among all compared reply bytes of the first that differed, or -1.
    int FirstMismatch() const { return m_firstMismatch; }
    std::vector<uint8_t> Reply() const {
        return m_state.ResponseBytes(CScriptRunState::kResponseLimit);
    }
    // The index of the first reply byte that came with a line error, or -1.
    int FirstLineError() const {
        const std::vector<bool> marked =
            m_state.ResponseLineErrors(CScriptRunState::kResponseLimit);
        for (size_t i = 0; i < marked.size(); ++i)
            if (marked[i])
                return static_cast<int>(i);
        return -1;
    }
    CTrafficLog& Traffic() { return m_traffic; }

protected:
    void OnReceive(const uint8_t* bytes, int count) override {
        OnReceiveMarked(bytes, nullptr, count);
    }
    void OnReceiveMarked(const uint8_t* bytes, const uint8_t* marks, int count) override {
        m_state.OnReceived(bytes, count, marks);
        m_traffic.Add(CTrafficLog::Direction::Rx, bytes, static_cast<size_t>(count));
        m_lastReceived = Clock::now();
    }
    void OnPortLost() override { m_lost = true; }

private:
    void Touch() { m_lastActivity = Clock::now(); }

    const COptionStore& m_options;
    CTrafficLog m_traffic;
    CScriptRunState m_state;
    std::atomic<Clock::time_point> m_lastActivity{Clock::now()};
    Clock::time_point m_lastReceived = Clock::now();
    std::atomic<int> m_compared{0};
    std::atomic<int> m_firstMismatch{-1};
    bool m_lost = false;
};

QCoreApplication& EventLoop() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "brivox-cli";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
    return *QCoreApplication::instance();
}

enum class WaitEnd { Done, TimedOut, Lost };

// How a wait stands: over, or the longest sleep before it must be looked at again without an
// event (-1: only an event or the time limit can change it).
using WaitCheck = std::function<int()>;

// Sleeps in the event loop, which delivers received bytes and the port's end, until the check
// says the wait is over, the device goes away or the port has been quiet for the time limit.
WaitEnd WaitFor(const WaitCheck& check, const CRunPort& port, int timeoutMs) {
    QTimer wake;
    wake.setSingleShot(true);
    for (;;) {
        if (port.Lost())
            return WaitEnd::Lost;
        const int recheckMs = check();
        if (recheckMs == 0)
            return WaitEnd::Done;
        const int64_t left = timeoutMs - port.QuietMs();
        if (left <= 0)
            return WaitEnd::TimedOut;
        wake.start(static_cast<int>(recheckMs < 0 ? left : std::min<int64_t>(left, recheckMs)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

struct CRunRequest {
    std::vector<CJPItem> items;
    bool modbus = false;
    bool ascii = false;
};

// The items to run from the text or the MODBUS fields; an error text, empty on success.
std::string BuildItems(const CCliArguments& args, COptionStore& options, CRunRequest& request) {
    const std::string mode = args.Value("--mode", "detail");
    request.modbus = mode == "modbus-rtu" || mode == "modbus-ascii";
    CJPScript script(options);
    if (request.modbus) {
        CModbusBoxes boxes;
        if (std::string error = ApplyModbusFields(args, options, boxes); !error.empty())
            return error;
        request.ascii = mode == "modbus-ascii";
        const CModbusBuildResult built = BuildModbusRequest(script, request.ascii, boxes);
        if (!built.Succeeded())
            return built.message;
    } else {
        const int index = InputModeIndex(mode);
        if (index < 1 || args.Positionals().size() != 1)
            return "give --mode detail|string|decimal|modbus-rtu|modbus-ascii and one TEXT";
        options.SetInt(opt::kModeIndex, index);
        const CCompileResult compiled = script.Compile(TrimText(args.Positionals()[0]));
        if (!compiled.Succeeded())
            return "syntax error at " + std::to_string(compiled.position) + ": " + compiled.message;
    }
    request.items = script.Items();
    return "";
}

int PortLost(CRunPort& port, CCliStreams& io) {
    port.Traffic().Flush();
    io.out << "result port-error\n";
    io.err << "brivox-cli run: " << port.GetLastError() << "\n";
    return kPortError;
}

// After the request went out: waits for a whole reply and judges it.
int AwaitModbusReply(const CRunRequest& request, CRunPort& port, int timeoutMs, CCliStreams& io) {
    const std::vector<uint8_t> sent = request.items.front().bytes.ToVector();
    auto judge = [&] { return CheckModbusReply(sent, port.Reply(), request.ascii); };
    const WaitEnd end = WaitFor(
        [&] {
            if (judge().verdict == ModbusVerdict::Incomplete)
                return -1;
            return static_cast<int>(std::max<int64_t>(0, kReplySettleMs - port.ReceiveQuietMs()));
        },
        port, timeoutMs);
    if (end == WaitEnd::Lost)
        return PortLost(port, io);
    port.Traffic().Flush();
    const CModbusReplyCheck check = judge();
    if (IsBroadcastRequest(sent, request.ascii) && port.Reply().empty()) {
        io.out << "result ok (a broadcast gets no reply)\n";
        return 0;
    }
    switch (check.verdict) {
    case ModbusVerdict::Incomplete:
        io.out << "result timeout\n";
        return kTimedOut;
    case ModbusVerdict::Ok:
    case ModbusVerdict::Exception:
        if (const int at = port.FirstLineError(); at >= 0) {
            io.out << "result mismatch (reply byte " << at << " came with a line error)\n";
            return 1;
        }
        for (const std::string& line : check.lines)
            io.out << line << "\n";
        io.out << (check.verdict == ModbusVerdict::Ok ? "result ok\n" : "result exception\n");
        return check.verdict == ModbusVerdict::Ok ? 0 : 1;
    case ModbusVerdict::BadChecksum:
        io.out << "result bad-checksum (" << check.reason << ")\n";
        return 1;
    case ModbusVerdict::Mismatch:
        break;
    }
    io.out << "result mismatch (" << check.reason << ")\n";
    return 1;
}

// The expect item that holds the n-th compared reply byte.
const CJPItem* ExpectItemOf(const std::vector<CJPItem>& items, int n) {
    for (const CJPItem& item : items) {
        if (item.kind != JPItemKind::Expect)
            continue;
        if (n < item.bytes.GetLength())
            return &item;
        n -= item.bytes.GetLength();
    }
    return nullptr;
}

int ScriptResult(const CRunRequest& request, RunOutcome outcome, CRunPort& port, CCliStreams& io) {
    port.Traffic().Flush();
    switch (outcome) {
    case RunOutcome::Mismatch:
        if (const CJPItem* item = ExpectItemOf(request.items, port.FirstMismatch()))
            io.out << "expected " << HexPairs(item->bytes.ToVector()) << "\n";
        io.out << "result mismatch\n";
        return 1;
    case RunOutcome::Stopped:
        io.out << "result timeout\n";
        return kTimedOut;
    default:
        io.out << "result match\n";
        return 0;
    }
}

int RunOnPort(const CRunRequest& request, CRunPort& port, int timeoutMs, CCliStreams& io) {
    if (request.modbus)
        port.RunState().BeginCapture();
    port.RunState().SetSending(true);
    std::atomic<bool> finished{false};
    RunOutcome outcome = RunOutcome::Completed;
    std::thread worker([&] {
        outcome = JPExecute(request.items, port, true);
        finished = true;
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::User));
    });
    const WaitEnd end = WaitFor([&] { return finished ? 0 : -1; }, port, timeoutMs);
    if (end != WaitEnd::Done)
        port.RunState().SetSending(false); // wakes a run that waits for a reply
    worker.join();
    if (end == WaitEnd::Lost)
        return PortLost(port, io);
    if (request.modbus)
        return AwaitModbusReply(request, port, timeoutMs, io);
    return ScriptResult(request, outcome, port, io);
}

// With --reconnect, a device that is not there yet is waited for up to the time limit.
bool OpenOrAwait(CRunPort& port, int timeoutMs) {
    if (port.Open() || !port.Reconnect())
        return port.IsOpen();
    port.WaitForDevice();
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(timeoutMs);
    while (!port.IsOpen() && limit.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return port.IsOpen();
}

int RunRun(const CCliArguments& args, CCliStreams& io) {
    CRunOptions runOptions;
    COptionStore options;
    RegisterDefaultOptions(options, LanguageCode());
    CRunRequest request;
    std::string error = ParseRunOptions(args, runOptions);
    if (error.empty()) {
        options.SetInt(opt::kByteDelay, runOptions.delayMs);
        options.SetInt(opt::kRtsWhileSending, args.Has("--rts-while-sending") ? 1 : 0);
        error = BuildItems(args, options, request);
    }
    if (!error.empty()) {
        io.err << "brivox-cli run: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    CRunPort port(options, io.out);
    port.SetCommPort(runOptions.portNumber);
    port.SetDevicePath(runOptions.devicePath);
    port.SetSettings(runOptions.settings);
    if (error = ApplyPortSwitches(args, port); !error.empty()) {
        io.err << "brivox-cli run: " << error << "\n";
        return kPortError;
    }
    if (!OpenOrAwait(port, runOptions.timeoutMs)) {
        io.err << "brivox-cli run: " << port.GetLastError();
        if (port.GetLastErrorKind() == PortError::NoSuchPort)
            io.err << " (brivox-cli ports lists the ports; --port also takes a device path)";
        io.err << "\n";
        return kPortError;
    }
    if (!port.GetLastError().empty()) // what a serial server could not apply
        io.err << "brivox-cli run: " << port.GetLastError() << "\n";
    return RunOnPort(request, port, runOptions.timeoutMs, io);
}

} // namespace

CCommand RunCommand() {
    std::vector<COptionSpec> options = ModbusFieldSpecs();
    const std::vector<COptionSpec> switches = PortSwitchSpecs();
    options.insert(options.end(), switches.begin(), switches.end());
    options.insert(options.end(), {{"--port", true},
                                   {"--settings", true},
                                   {"--mode", true},
                                   {"--delay", true},
                                   {"--rts-while-sending", false},
                                   {"--timeout", true}});
    return {"run",
            "--port COM<n>|DEVICE|rfc2217://HOST:PORT|tcp://HOST:PORT [--settings 115200,N,8,1] "
            "[--mode detail|string|decimal|"
            "modbus-rtu|modbus-ascii] [--delay 0-500] [--rts-while-sending] [--timeout MS] " +
                std::string(kPortSwitchUsage) + " [MODBUS fields as for modbus] [--] [TEXT]",
            "open the port and run TEXT (or a MODBUS request): what went each way as TX/RX lines "
            "of up to 16 bytes, then the result; exit 0 match, 1 mismatch, 2 timeout, 3 port or "
            "syntax error or the device went away. --reconnect waits for a port that is not there "
            "(up to the time limit), --ignore-echo drops an RS-485 adapter's echo of what was "
            "sent, --line-errors counts a reply byte with a parity or framing error as a "
            "mismatch, --capture appends the traffic to FILE as timestamped lines",
            options,
            RunRun,
            kPortError};
}

} // namespace brivox::cli
