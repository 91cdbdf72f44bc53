#include "cli/RunCommand.h"

#include "cli/CompileCommand.h"
#include "cli/ModbusOptions.h"
#include "cli/PortSwitchOptions.h"
#include "cli/RunPort.h"
#include "modbus/ModbusReply.h"
#include "modbus/ModbusRequest.h"
#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "platform/Language.h"
#include "util/Text.h"

#include <ostream>

namespace brivox::cli {

namespace {

constexpr int kTimedOut = 2;

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
int JudgeModbusReply(const CRunRequest& request, CRunPort& port, int timeoutMs, CCliStreams& io) {
    const std::vector<uint8_t> sent = request.items.front().bytes.ToVector();
    const WaitEnd end = AwaitModbusReply(sent, request.ascii, port, timeoutMs);
    if (end == WaitEnd::Lost)
        return PortLost(port, io);
    port.Traffic().Flush();
    const CModbusReplyCheck check = CheckModbusReply(sent, port.Reply(), request.ascii);
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
    const CScriptRun run = RunScript(request.items, port, timeoutMs);
    if (run.end == WaitEnd::Lost)
        return PortLost(port, io);
    if (request.modbus)
        return JudgeModbusReply(request, port, timeoutMs, io);
    return ScriptResult(request, run.outcome, port, io);
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
    if (error = ApplyPortSwitches(args, {{&port, args.Value("--port")}}); !error.empty()) {
        io.err << "brivox-cli run: " << error << "\n";
        return kFileError;
    }
    if (!OpenRunPort(port, runOptions, "run", io.err))
        return kPortError;
    const int code = RunOnPort(request, port, runOptions.timeoutMs, io);
    // A capture that lost lines is no record of the run, whatever its result.
    if (const std::shared_ptr<CCaptureSink> capture = port.Capture();
        capture && !capture->Error().empty()) {
        io.err << "brivox-cli run: " << capture->Error() << "\n";
        return kFileError;
    }
    return code;
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
    options = WithLineOptions(options);
    return {"run",
            "--port COM<n>|DEVICE|rfc2217://HOST:PORT|tcp://HOST:PORT [--settings 115200,N,8,1] "
            "[--mode detail|string|decimal|"
            "modbus-rtu|modbus-ascii] [--delay 0-500] [--rts-while-sending] [--timeout MS] " +
                std::string(kPortSwitchUsage) + " " + kLineOptionsUsage +
                " [MODBUS fields as for modbus] [--] [TEXT]",
            "open the port and run TEXT (or a MODBUS request): what went each way as TX/RX lines "
            "of up to 16 bytes, then the result; exit 0 match, 1 mismatch, 2 timeout, 3 port or "
            "syntax error or the device went away. --reconnect waits for a port that is not there "
            "(up to the time limit), --ignore-echo drops an RS-485 adapter's echo of what was "
            "sent, --line-errors counts a reply byte with a parity or framing error as a "
            "mismatch, --capture appends the traffic to FILE as timestamped lines, or as packets "
            "to a FILE.pcapng that Wireshark reads (exit 4 when it could not be written)",
            options,
            RunRun,
            kPortError};
}

} // namespace brivox::cli
