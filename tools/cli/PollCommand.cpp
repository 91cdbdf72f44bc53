#include "cli/PollCommand.h"

#include "cli/MasterSession.h"
#include "cli/PollOutput.h"
#include "cli/RunPort.h"
#include "util/WallClock.h"

#include <ostream>

namespace brivox::cli {

namespace {

constexpr int kSomeCycleFailed = 1;

// Everything the command line says about the poll.
struct CPollRequest {
    CModbusPollDefinition definition;
    CModbusValueFormat values;
    PollFormat format = PollFormat::Text;
    int cycles = 0; // 0: until Ctrl+C
    CMasterLink link;
};

std::string ParseDefinition(const CCliArguments& args, CPollRequest& request) {
    CModbusPollDefinition& d = request.definition;
    d.transport = request.link.transport;
    d.timeoutMs = request.link.timeoutMs;
    if (!NumberIn(args.Value("--slave", "1"), 1, 247, d.slave))
        return "--slave takes 1 to 247";
    if (!ParseHexWord(args.Value("--function", "03"), d.function))
        return "--function takes 01, 02, 03 or 04";
    if (!ParseHexWord(args.Value("--start", "0000"), d.start))
        return "--start takes 1 to 4 hex digits (0000 to FFFF)";
    if (!NumberIn(args.Value("--count", "10"), 1, 2000, d.count))
        return "--count takes 1 to 2000";
    if (!NumberIn(args.Value("--interval", "1000"), 0, 3600000, d.intervalMs))
        return "--interval takes 0 to 3600000 ms";
    if (args.Has("--cycles") && !NumberIn(args.Value("--cycles"), 1, 1000000000, request.cycles))
        return "--cycles takes a whole number, at least 1";
    return CheckModbusPollDefinition(d);
}

std::string ParseValueFormat(const CCliArguments& args, CPollRequest& request) {
    CModbusValueFormat& v = request.values;
    if (std::string error = ParseValueFormatOptions(args, v); !error.empty())
        return error;
    v.stringRegisters = request.definition.count;
    const bool bits = request.definition.function <= 0x02;
    if (bits && v.type != ModbusValueType::U16)
        return "coils and discrete inputs are read as 0 and 1: --type goes with 03 and 04";
    if (request.definition.count % RegistersPerValue(v) != 0)
        return "--count " + std::to_string(request.definition.count) + " is no whole number of " +
               args.Value("--type") + " values (" + std::to_string(RegistersPerValue(v)) +
               " registers each)";
    return ParsePollFormat(args.Value("--format", "text"), request.format);
}

std::string ParsePollRequest(const CCliArguments& args, CPollRequest& request) {
    std::string error = ParseMasterLink(args, 1000, request.link);
    if (error.empty())
        error = ParseDefinition(args, request);
    return error.empty() ? ParseValueFormat(args, request) : error;
}

int RunPoll(const CCliArguments& args, CCliStreams& io) {
    CPollRequest request;
    if (std::string error = ParsePollRequest(args, request); !error.empty()) {
        io.err << "brivox-cli poll: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    const CWallClock clock = CWallClock::Now();
    const CPollOutput output(request.format, request.values, request.definition.start,
                             request.definition.count);
    int cycles = 0;
    bool failed = false;
    CMasterSession session(request.definition, [&](CModbusPoll&, const CModbusPollResult& result) {
        failed |= result.outcome != ModbusPollOutcome::Valid;
        const std::string time =
            WallTimeText(clock.WallUs(CWallClock::SteadyUs(CModbusPoll::Clock::now())), false);
        io.out << output.Line(time, result) << std::flush;
        return request.cycles == 0 || ++cycles < request.cycles;
    });
    io.out << output.Header() << std::flush;
    const int code = RunMasterSession(session, request.link, "poll", {}, io.err);
    if (!session.Ran())
        return code;
    io.err << "brivox-cli poll: "
           << session.Poll().Statistics().Summary(request.link.transport == ModbusTransport::Ascii)
           << "\n";
    if (code == kPortError)
        return code;
    return failed ? kSomeCycleFailed : 0;
}

} // namespace

CCommand PollCommand() {
    return {"poll",
            MasterLinkUsage() +
                " [--slave N] [--function 01|02|03|04] [--start HEX] [--count N] "
                "[--type u16|s16|hex|bin|u32|s32|f32|u64|s64|f64|string] "
                "[--order ABCD|CDAB|BADC|DCBA] [--scale K] [--offset C] [--interval MS] "
                "[--cycles N] [--format text|csv|jsonl]",
            "read a block of coils or registers (RTU, --ascii, or MODBUS TCP) every interval "
            "(ms, 1000; 0: back to back), a line a cycle with the values as the type and order "
            "read them or the error; at the end (Ctrl+C or --cycles) the link's statistics on "
            "stderr; exit 0 when every cycle got a valid reply, 1 otherwise, 3 for a port error",
            WithMasterLinkOptions({{"--slave", true},
                                   {"--function", true},
                                   {"--start", true},
                                   {"--count", true},
                                   {"--type", true},
                                   {"--order", true},
                                   {"--scale", true},
                                   {"--offset", true},
                                   {"--interval", true},
                                   {"--cycles", true},
                                   {"--format", true}}),
            RunPoll,
            kPortError};
}

} // namespace brivox::cli
