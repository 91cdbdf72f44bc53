#include "cli/TestCommand.h"

#include "cli/RunPort.h"
#include "cli/StopSignals.h"
#include "modbus/ModbusReply.h"
#include "options/OptionDefaults.h"
#include "platform/FileIO.h"
#include "platform/Language.h"
#include "testbench/DeviceTestReport.h"
#include "util/Text.h"

#include <ctime>
#include <filesystem>
#include <ostream>
#include <unistd.h>

namespace brivox::cli {

namespace {

using Verdict = CDeviceTestResult::Verdict;

constexpr int kFileOrPortError = 3;
constexpr int kReportError = 4;
constexpr int64_t kMaxTestFile = int64_t{16} << 20;

std::string QuietText(int timeoutMs) {
    return "timed out: the line was quiet for " + std::to_string(timeoutMs) + " ms";
}

CDeviceTestResult ResultOf(Verdict verdict, std::string reason = "") {
    CDeviceTestResult result;
    result.verdict = verdict;
    result.reason = std::move(reason);
    return result;
}

CDeviceTestResult PortGone(const CRunPort& port) {
    return ResultOf(Verdict::PortError, port.GetLastError());
}

CDeviceTestResult Interrupted() {
    return ResultOf(Verdict::NotRun, "interrupted");
}

// One run of a Detail case: the executor's own verdict, with the expect item it stopped at.
CDeviceTestResult RunDetail(const CDeviceTest& test, CRunPort& port, int timeoutMs) {
    const CScriptRun run = RunScript(test.items, port, timeoutMs);
    if (run.end == WaitEnd::Lost)
        return PortGone(port);
    if (run.end == WaitEnd::Interrupted)
        return Interrupted();
    CDeviceTestResult result;
    const int stoppedAt =
        run.outcome == RunOutcome::Mismatch ? port.FirstMismatch() : port.Compared();
    const CJPItem* item = ExpectItemOf(test.items, stoppedAt);
    if (item != nullptr)
        result.expected = item->bytes.ToVector();
    result.received = port.Reply();
    switch (run.outcome) {
    case RunOutcome::Completed:
        return ResultOf(Verdict::Pass);
    case RunOutcome::Mismatch:
        result.received.resize(std::min(result.received.size(), result.expected.size()));
        result.verdict = Verdict::Fail;
        result.reason = "the reply differs";
        return result;
    case RunOutcome::Stopped:
        result.verdict = Verdict::Timeout;
        result.reason = QuietText(timeoutMs);
        return result;
    default:
        result.verdict = Verdict::Fail;
        result.reason = "an empty send item";
        return result;
    }
}

// Whether the reply a MODBUS case got is the one it wants, and if not, why.
std::string ModbusProblem(const CDeviceTest& test, const std::vector<uint8_t>& request,
                          const std::vector<uint8_t>& reply) {
    if (IsBroadcastRequest(request, test.ascii))
        return reply.empty() ? "" : "a broadcast got a reply";
    const CModbusReplyCheck check = CheckModbusReply(request, reply, test.ascii);
    if (!test.expectedReply.empty())
        return reply == test.expectedReply ? ""
               : check.reason.empty()      ? "the reply differs"
                                           : "the reply differs (" + check.reason + ")";
    if (check.verdict == ModbusVerdict::Exception)
        return "an exception reply (" + (check.lines.empty() ? "" : check.lines[0]) + ")";
    return check.verdict == ModbusVerdict::Ok ? "" : check.reason;
}

CDeviceTestResult RunModbus(const CDeviceTest& test, CRunPort& port, int timeoutMs) {
    const std::vector<uint8_t> request = test.items.front().bytes.ToVector();
    port.RunState().BeginCapture();
    WaitEnd end = RunScript(test.items, port, timeoutMs).end;
    if (end != WaitEnd::Lost && end != WaitEnd::Interrupted)
        end = AwaitModbusReply(request, test.ascii, port, timeoutMs);
    if (end == WaitEnd::Lost)
        return PortGone(port);
    if (end == WaitEnd::Interrupted)
        return Interrupted();
    CDeviceTestResult result;
    result.expected = test.expectedReply;
    result.received = port.Reply();
    const bool whole =
        IsBroadcastRequest(request, test.ascii) ||
        CheckModbusReply(request, result.received, test.ascii).verdict != ModbusVerdict::Incomplete;
    result.reason = whole ? ModbusProblem(test, request, result.received) : QuietText(timeoutMs);
    result.verdict = !whole                  ? Verdict::Timeout
                     : result.reason.empty() ? Verdict::Pass
                                             : Verdict::Fail;
    return result;
}

// Sends the request, then waits until the reply matches the case's pattern, can no longer
// match it, or the line stays quiet too long.
CDeviceTestResult RunExpectMatch(const CDeviceTest& test, CRunPort& port, int timeoutMs) {
    using Fit = CBytePattern::Fit;
    port.RunState().BeginCapture();
    WaitEnd end = RunScript(test.items, port, timeoutMs).end;
    Fit fit = Fit::Prefix;
    if (end != WaitEnd::Lost && end != WaitEnd::Interrupted)
        end = WaitFor(
            [&] {
                fit = test.expectMatch.Match(port.Reply());
                return fit == Fit::Prefix ? -1 : 0;
            },
            port, timeoutMs);
    if (end == WaitEnd::Lost)
        return PortGone(port);
    if (end == WaitEnd::Interrupted)
        return Interrupted();
    CDeviceTestResult result = ResultOf(fit == Fit::Whole  ? Verdict::Pass
                                        : fit == Fit::None ? Verdict::Fail
                                                           : Verdict::Timeout,
                                        fit == Fit::Whole  ? ""
                                        : fit == Fit::None ? "the reply does not match"
                                                           : QuietText(timeoutMs));
    result.received = port.Reply();
    return result;
}

CDeviceTestResult RunCase(const CDeviceTest& test, CRunPort& port, int defaultTimeoutMs) {
    const int timeoutMs = test.timeoutMs != 0 ? test.timeoutMs : defaultTimeoutMs;
    const Clock::time_point start = Clock::now();
    CDeviceTestResult result;
    for (int run = 1; run <= test.repeat; ++run) {
        port.Purge(); // what a case before left on the line is not this case's reply
        if (test.breakMs > 0 && !port.SendBreak(test.breakMs)) {
            result = ResultOf(Verdict::PortError, "the port cannot send a BREAK");
            result.run = run;
            break;
        }
        result = !test.expectMatch.Empty()                ? RunExpectMatch(test, port, timeoutMs)
                 : test.kind == CDeviceTest::Kind::Modbus ? RunModbus(test, port, timeoutMs)
                                                          : RunDetail(test, port, timeoutMs);
        if (result.verdict != Verdict::Pass) {
            result.run = run;
            break;
        }
    }
    port.Traffic().Flush();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

std::string Timestamp() {
    const time_t now = time(nullptr);
    tm parts{};
    localtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    return text;
}

// Runs the cases in order; after a port error or an interrupt the rest are not run.
std::vector<CDeviceTestResult> RunCases(const std::vector<CDeviceTest>& tests, CRunPort& port,
                                        int timeoutMs, std::ostream& out) {
    std::vector<CDeviceTestResult> results(tests.size());
    for (size_t i = 0; i < tests.size(); ++i) {
        if (i > 0 && results[i - 1].verdict == Verdict::PortError) {
            results[i] = ResultOf(Verdict::NotRun, "not run: the port went away");
            continue;
        }
        if (port.Interrupted()) {
            results[i] = ResultOf(Verdict::NotRun, "not run: interrupted");
            continue;
        }
        results[i] = RunCase(tests[i], port, timeoutMs);
        out << ResultText(tests[i], results[i]) << std::flush;
    }
    return results;
}

std::string WriteReport(const std::string& path, const std::string& file,
                        const std::vector<CDeviceTest>& tests,
                        const std::vector<CDeviceTestResult>& results) {
    const std::string suite = std::filesystem::path(file).filename().string();
    const std::string error =
        WriteOutputFile(path, JUnitReport(suite, Timestamp(), tests, results));
    return error.empty() ? "" : "cannot write the report " + error;
}

// The results when the port did not open: not run when a stop signal ended the open.
std::vector<CDeviceTestResult> Unopened(size_t count, const CRunPort& port,
                                        const CStopSignalWatch& stop) {
    if (stop.Requested() || port.GetLastErrorKind() == PortError::Interrupted)
        return std::vector<CDeviceTestResult>(count,
                                              ResultOf(Verdict::NotRun, "not run: interrupted"));
    return std::vector<CDeviceTestResult>(count, PortGone(port));
}

int RunTest(const CCliArguments& args, CCliStreams& io) {
    CRunOptions runOptions;
    std::string error =
        args.Positionals().size() == 1 ? ParseRunOptions(args, runOptions) : "give one test FILE";
    if (error.empty() && args.Has("--junit") && args.Value("--junit").empty())
        error = "--junit needs a file name";
    const std::string file = error.empty() ? args.Positionals()[0] : "";
    if (error.empty() && args.Has("--junit") && IsSameFile(file, args.Value("--junit")))
        error = "--junit " + args.Value("--junit") + " is the test file itself";
    std::string text;
    if (error.empty() && !(error = ReadTextFile(file, kMaxTestFile, text)).empty())
        error = file + ": " + error;
    std::vector<CDeviceTest> tests;
    if (error.empty() && !(error = ParseDeviceTests(text, tests)).empty())
        error = file + ": " + error;
    if (!error.empty()) {
        io.err << "brivox-cli test: " << error << "\n";
        return kFileOrPortError;
    }
    COptionStore options;
    RegisterDefaultOptions(options, LanguageCode());
    EventLoop();
    std::ostream quiet(nullptr);
    CRunPort port(options, args.Has("-v") ? io.out : quiet);
    // Ctrl+C ends the case that runs and still writes the results and the report.
    const CStopSignalWatch stop([&port] { port.Interrupt(); });
    const bool opened = OpenRunPort(port, runOptions, "test", io.err, &stop);
    const std::vector<CDeviceTestResult> results =
        opened ? RunCases(tests, port, runOptions.timeoutMs, io.out)
               : Unopened(tests.size(), port, stop);
    io.out << CountsText(results) << std::flush;
    if (args.Has("--junit")) {
        if (error = WriteReport(args.Value("--junit"), file, tests, results); !error.empty())
            io.err << "brivox-cli test: " << error << "\n";
    }
    if (!error.empty())
        return kReportError;
    const bool portError =
        !opened || std::any_of(results.begin(), results.end(),
                               [](const auto& r) { return r.verdict == Verdict::PortError; });
    if (portError)
        return kFileOrPortError;
    return std::all_of(results.begin(), results.end(),
                       [](const auto& r) { return r.verdict == Verdict::Pass; })
               ? 0
               : 1;
}

} // namespace

CCommand TestCommand() {
    return {"test",
            "FILE --port COM<n>|DEVICE [--settings 115200,N,8,1] [--timeout MS] [--junit "
            "REPORT.xml] [-v] " +
                std::string(kLineOptionsUsage),
            "run the cases of a device-test file in order on one open port (--timeout: a case's "
            "default, 2000 ms; -v: the traffic too); each case's result, the bytes of a mismatch; "
            "exit 0 when all pass, 1 otherwise, 3 for a port or file error, 4 when the report "
            "could not be written",
            WithLineOptions({{"--port", true},
                             {"--settings", true},
                             {"--timeout", true},
                             {"--junit", true},
                             {"-v", false}}),
            RunTest,
            kFileOrPortError};
}

} // namespace brivox::cli
