#include "cli/RunCommand.h"

#include "cli/CompileCommand.h"
#include "cli/ModbusOptions.h"
#include "modbus/ModbusFrame.h"
#include "modbus/ModbusRequest.h"
#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "platform/Language.h"
#include "script/ScriptExecutor.h"
#include "serial/PortDiscovery.h"
#include "serial/SerialPort.h"
#include "util/Text.h"

#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <thread>

namespace brivox::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPortError = 3;
constexpr int kTimedOut = 2;
constexpr int kEventWaitMs = 50;

// The port and the script host of one run: received bytes go to the run state on the event
// loop's thread; reports are printed as the worker makes them.
class CRunPort : public CSerialPort, public CScriptHost {
public:
    CRunPort(const COptionStore& options, std::ostream& out) : m_options(options), m_out(out) {}
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
        static const char* const kinds[] = {"RX %s mismatch", "TX %s", "RX %s ok"};
        std::string line = kinds[static_cast<int>(kind)];
        line.replace(line.find("%s"), 2, FormatNumber(byte, 16, 2));
        const std::lock_guard lock(m_outMutex);
        m_out << line << "\n" << std::flush;
    }
    CScriptRunState& RunState() override { return m_state; }

    // Milliseconds since the last byte went out or was compared.
    int64_t QuietMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                                     m_lastActivity.load())
            .count();
    }
    std::vector<uint8_t> Reply() const {
        return m_state.ResponseBytes(CScriptRunState::kResponseLimit);
    }

protected:
    void OnReceive(const uint8_t* bytes, int count) override { m_state.OnReceived(bytes, count); }

private:
    void Touch() { m_lastActivity = Clock::now(); }

    const COptionStore& m_options;
    std::ostream& m_out;
    std::mutex m_outMutex;
    CScriptRunState m_state;
    std::atomic<Clock::time_point> m_lastActivity{Clock::now()};
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

// Runs the event loop (which delivers received bytes) until done() or the port has been quiet
// for the time limit.
bool RunEventsUntil(const std::function<bool()>& done, const CRunPort& port, int timeoutMs) {
    while (!done()) {
        if (port.QuietMs() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, kEventWaitMs);
    }
    return true;
}

// COM<n>, or a device node that the port map or discovery knows under a number.
int PortNumberOf(const std::string& port) {
    if (port.rfind("COM", 0) == 0)
        return PortNumberFromComboText(port);
    std::error_code error;
    const auto wanted = std::filesystem::weakly_canonical(port, error);
    for (const CPortEntry& entry : DiscoverPortTable()) {
        if (std::filesystem::weakly_canonical(entry.device, error) == wanted)
            return entry.number;
    }
    return 0;
}

struct CRunRequest {
    std::vector<CJPItem> items;
    bool modbus = false;
    bool ascii = false;
    int quantity = 0;
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
        request.quantity = options.GetInt(opt::kModbusLength, 0);
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

int PrintModbusReply(const CRunRequest& request, const std::vector<uint8_t>& reply, bool complete,
                     std::ostream& out) {
    for (const uint8_t byte : reply)
        out << "RX " << FormatNumber(byte, 16, 2) << "\n";
    if (!complete) {
        out << "result timeout\n";
        return kTimedOut;
    }
    std::vector<uint8_t> adu;
    if (!(request.ascii ? AduOfAsciiFrame(reply, adu) : AduOfRtuFrame(reply, adu))) {
        out << "result bad-checksum\n";
        return 1;
    }
    for (const std::string& line : DescribeModbusReply(adu, request.quantity))
        out << line << "\n";
    const bool exception = adu.size() > 1 && (adu[1] & 0x80);
    out << (exception ? "result exception\n" : "result ok\n");
    return exception ? 1 : 0;
}

bool ReplyComplete(const CRunRequest& request, const std::vector<uint8_t>& reply) {
    if (request.ascii)
        return AsciiFrameEnded(reply);
    const size_t length = RtuReplyLength(reply);
    return length != 0 && reply.size() >= length;
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
    if (!RunEventsUntil([&] { return finished.load(); }, port, timeoutMs))
        port.RunState().SetSending(false); // the reply did not come in time
    worker.join();
    if (request.modbus) {
        const bool complete =
            RunEventsUntil([&] { return ReplyComplete(request, port.Reply()); }, port, timeoutMs);
        return PrintModbusReply(request, port.Reply(), complete, io.out);
    }
    switch (outcome) {
    case RunOutcome::Mismatch:
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

int RunRun(const CCliArguments& args, CCliStreams& io) {
    COptionStore options;
    RegisterDefaultOptions(options, LanguageCode());
    options.SetInt(opt::kByteDelay, ReadLeadingInt(args.Value("--delay", "0")));
    options.SetInt(opt::kRtsWhileSending, args.Has("--rts-while-sending") ? 1 : 0);
    const int timeoutMs = ReadLeadingInt(args.Value("--timeout", "2000"));
    CRunRequest request;
    if (const std::string error = BuildItems(args, options, request); !error.empty()) {
        io.err << "brivox-cli run: " << error << "\n";
        return kPortError;
    }
    const int number = PortNumberOf(args.Value("--port"));
    if (number <= 0) {
        io.err << "brivox-cli run: no port " << args.Value("--port")
               << " (give COM<n> as brivox-cli ports lists them)\n";
        return kPortError;
    }
    EventLoop();
    CRunPort port(options, io.out);
    port.SetCommPort(number);
    port.SetSettings(args.Value("--settings", "115200,N,8,1"));
    if (!port.Open()) {
        io.err << "brivox-cli run: " << port.GetLastError() << "\n";
        return kPortError;
    }
    return RunOnPort(request, port, timeoutMs, io);
}

} // namespace

CCommand RunCommand() {
    std::vector<COptionSpec> options = ModbusFieldSpecs();
    options.insert(options.end(), {{"--port", true},
                                   {"--settings", true},
                                   {"--mode", true},
                                   {"--delay", true},
                                   {"--rts-while-sending", false},
                                   {"--timeout", true}});
    return {"run",
            "--port COM<n>|DEVICE [--settings 115200,N,8,1] [--mode detail|string|decimal|"
            "modbus-rtu|modbus-ascii] [--delay MS] [--rts-while-sending] [--timeout MS] "
            "[MODBUS fields as for modbus] [--] [TEXT]",
            "open the port and run TEXT (or a MODBUS request): TX/RX lines, then the result; "
            "exit 0 match, 1 mismatch, 2 timeout, 3 port or syntax error",
            options,
            RunRun,
            kPortError};
}

} // namespace brivox::cli
