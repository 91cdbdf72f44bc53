#include "cli/ScanCommand.h"

#include "cli/MasterSession.h"
#include "cli/RunPort.h"
#include "modbus/ModbusWrite.h"
#include "util/Text.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <set>

namespace brivox::cli {

namespace {

constexpr int kNoneFound = 1;
constexpr int kDefaultTimeoutMs = 100;

struct CScanRequest {
    CMasterLink link;
    std::set<int> slaves;
    int function = 0x03;
    int start = 0;
};

// "1-247", "5", "1,3,10-20".
std::string ParseSlaves(const std::string& text, std::set<int>& slaves) {
    const std::string error =
        "--slaves takes addresses and ranges of 1 to 247, as 1-247 or 1,5,10-20";
    for (const std::string& piece : SplitText(text, ",")) {
        const std::vector<std::string> ends = SplitText(TrimText(piece), "-");
        int low = 0;
        int high = 0;
        if (ends.size() > 2 || !NumberIn(ends.front(), 1, 247, low) ||
            !NumberIn(ends.back(), 1, 247, high) || low > high)
            return error;
        for (int slave = low; slave <= high; ++slave)
            slaves.insert(slave);
    }
    return "";
}

std::string ParseScanRequest(const CCliArguments& args, CScanRequest& request) {
    if (std::string error = ParseMasterLink(args, kDefaultTimeoutMs, request.link); !error.empty())
        return error;
    if (std::string error = ParseSlaves(args.Value("--slaves", "1-247"), request.slaves);
        !error.empty())
        return error;
    if (!ParseHexWord(args.Value("--function", "03"), request.function) ||
        request.function < 0x01 || request.function > 0x04)
        return "--function takes 01, 02, 03 or 04";
    if (!ParseHexWord(args.Value("--start", "0000"), request.start))
        return "--start takes 1 to 4 hex digits (0000 to FFFF)";
    return "";
}

std::string Milliseconds(int64_t micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(micros) / 1000.0);
    return text;
}

// "slave 5: reply in 12.3 ms", "slave 7: exception 02 (illegal data address) in 3.1 ms".
std::string PresentLine(const CModbusPollResult& result) {
    const bool exception = result.outcome == ModbusPollOutcome::Exception;
    return "slave " + std::to_string(result.request[0]) + ": " +
           (exception ? result.error : std::string("reply")) + " in " +
           Milliseconds(result.replyMicros) + "\n";
}

// A reply or an exception from the address asked: some slave is there.
bool Answered(const CModbusPollResult& result) {
    return result.outcome == ModbusPollOutcome::Valid ||
           result.outcome == ModbusPollOutcome::Exception ||
           result.outcome == ModbusPollOutcome::WrongLength;
}

int RunScan(const CCliArguments& args, CCliStreams& io) {
    CScanRequest request;
    if (std::string error = ParseScanRequest(args, request); !error.empty()) {
        io.err << "brivox-cli scan: " << error << "\n";
        return kPortError;
    }
    std::vector<std::vector<uint8_t>> queued;
    for (const int slave : request.slaves)
        queued.push_back(ModbusReadAdu(slave, request.function, request.start, 1));
    EventLoop();
    std::vector<int> found;
    size_t asked = 0;
    CMasterSession session(QueuedRequestsOnly(request.link),
                           [&](CModbusPoll&, const CModbusPollResult& result) {
                               if (Answered(result)) {
                                   found.push_back(result.request[0]);
                                   io.out << PresentLine(result) << std::flush;
                               } else if (result.outcome != ModbusPollOutcome::TimedOut)
                                   io.err << "brivox-cli scan: slave " << int(result.request[0])
                                          << ": " << result.error << "\n";
                               return ++asked < request.slaves.size();
                           });
    const auto began = std::chrono::steady_clock::now();
    const int code = RunMasterSession(session, request.link, "scan", std::move(queued), io.err);
    const auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began);
    if (!session.Ran())
        return code;
    std::string list;
    for (const int slave : found)
        list += (list.empty() ? "" : ", ") + std::to_string(slave);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", took.count());
    io.out << "found " << found.size() << " of " << asked << " addresses asked"
           << (found.empty() ? "" : " (" + list + ")") << " in " << seconds << "\n";
    return code != 0 ? code : found.empty() ? kNoneFound : 0;
}

} // namespace

CCommand ScanCommand() {
    return {"scan",
            MasterLinkUsage() + " [--slaves 1-247] [--function 01|02|03|04] [--start HEX]",
            "ask each address once for one coil or register at --start (time-out 100 ms unless "
            "--timeout) and list those that answer, with a reply or an exception, and the time "
            "the scan took; exit 0 when one answered, 1 when none did, 3 for a port error",
            WithMasterLinkOptions({{"--slaves", true}, {"--function", true}, {"--start", true}}),
            RunScan,
            kPortError};
}

} // namespace brivox::cli
