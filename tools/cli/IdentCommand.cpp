#include "cli/IdentCommand.h"

#include "cli/MasterSession.h"
#include "cli/RunPort.h"
#include "modbus/ModbusFrame.h"
#include "modbus/ModbusIdentification.h"
#include "modbus/ModbusWrite.h"
#include "util/Text.h"

#include <ostream>

namespace brivox::cli {

namespace {

constexpr int kNoAnswer = 1;
// Objects may come over several replies; a slave that keeps saying "more" is not followed past
// this.
constexpr int kMostIdentificationReplies = 8;

struct CAskRequest {
    CMasterLink link;
    int slave = 1;
    std::vector<uint8_t> pdu;
};

std::string ParseAskRequest(const CCliArguments& args, CAskRequest& request) {
    if (std::string error = ParseMasterLink(args, 1000, request.link); !error.empty())
        return error;
    if (!NumberIn(args.Value("--slave", "1"), 1, 247, request.slave))
        return "--slave takes 1 to 247";
    return "";
}

void PrintIdentification(const CModbusPollResult& result, CModbusPoll& poll, int& followUps,
                         std::ostream& out) {
    CModbusDeviceIdentification identification;
    if (!DecodeDeviceIdentification(result.reply, identification)) {
        out << "device identification: malformed reply\n";
        return;
    }
    for (const CModbusDeviceObject& object : identification.objects)
        out << ModbusDeviceObjectName(object.id) << ": " << object.value << "\n";
    if (identification.moreFollows && ++followUps < kMostIdentificationReplies)
        poll.Queue(ModbusDeviceIdentificationAdu(result.request[0], identification.nextObject));
}

int RunIdent(const CCliArguments& args, CCliStreams& io) {
    CAskRequest request;
    if (std::string error = ParseAskRequest(args, request); !error.empty()) {
        io.err << "brivox-cli ident: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    int answered = 0;
    int followUps = 0;
    CMasterSession session(
        QueuedRequestsOnly(request.link), [&](CModbusPoll& poll, const CModbusPollResult& result) {
            const bool identification = result.request[1] == 0x2B;
            const char* what = identification ? "device identification" : "slave id";
            if (result.outcome != ModbusPollOutcome::Valid)
                io.out << what << ": " << result.error << "\n";
            else if (identification)
                PrintIdentification(result, poll, followUps, io.out);
            else
                io.out << "slave id: " << DescribeSlaveId(result.reply) << "\n";
            answered += result.outcome == ModbusPollOutcome::Valid;
            return poll.Queued() > 0;
        });
    const int code = RunMasterSession(
        session, request.link, "ident",
        {ModbusDeviceIdentificationAdu(request.slave, 0), ModbusRawAdu(request.slave, {0x11})},
        io.err);
    return code != 0 ? code : answered > 0 ? 0 : kNoAnswer;
}

std::string ParsePdu(const std::string& text, std::vector<uint8_t>& pdu) {
    std::vector<CWord> words;
    if (std::string error = SplitWords(text, words); !error.empty())
        return "--pdu: " + error;
    for (const CWord& word : words) {
        int byte = 0;
        if (word.text.size() > 2 || !ParseHexWord(word.text, byte))
            return "--pdu takes bytes in hex (\"08 00 00 12 34\"), not \"" + word.text + "\"";
        pdu.push_back(static_cast<uint8_t>(byte));
    }
    return pdu.empty() || pdu.size() > 253 ? "--pdu takes a function code and up to 252 bytes" : "";
}

int RunRequest(const CCliArguments& args, CCliStreams& io) {
    CAskRequest request;
    std::string error = ParseAskRequest(args, request);
    if (error.empty())
        error = ParsePdu(args.Value("--pdu"), request.pdu);
    if (!error.empty()) {
        io.err << "brivox-cli request: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    bool answered = false;
    CMasterSession session(
        QueuedRequestsOnly(request.link), [&](CModbusPoll&, const CModbusPollResult& result) {
            answered = result.outcome == ModbusPollOutcome::Valid;
            if (result.outcome == ModbusPollOutcome::Valid ||
                result.outcome == ModbusPollOutcome::Exception)
                for (const std::string& line : DescribeModbusReply(result.reply, 0))
                    io.out << line << "\n";
            else
                io.err << "brivox-cli request: " << result.error << "\n";
            return false;
        });
    const int code = RunMasterSession(session, request.link, "request",
                                      {ModbusRawAdu(request.slave, request.pdu)}, io.err);
    return code != 0 ? code : answered ? 0 : kNoAnswer;
}

} // namespace

CCommand IdentCommand() {
    return {"ident",
            MasterLinkUsage() + " [--slave N]",
            "ask the slave who it is (read device identification, 2B/0E, and report slave ID, "
            "11) and print what it says: vendor, product code, revision and the slave id's "
            "bytes; exit 0 when it answered either, 1 otherwise, 3 for a port error",
            WithMasterLinkOptions({{"--slave", true}}),
            RunIdent,
            kPortError};
}

CCommand RequestCommand() {
    return {"request",
            MasterLinkUsage() + " [--slave N] --pdu \"HEX ...\"",
            "send one request of any function (the PDU: function code and data; the CRC, LRC or "
            "MBAP header is added) and describe the reply: 07 exception status, 08 echo, 11 slave "
            "id, or the bytes of a function of the device's own; exit 0 for a reply, 1 otherwise "
            "(an exception too), 3 for a port error",
            WithMasterLinkOptions({{"--slave", true}, {"--pdu", true}}),
            RunRequest,
            kPortError};
}

} // namespace brivox::cli
