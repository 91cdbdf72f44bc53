#include "cli/WriteCommand.h"

#include "cli/MasterSession.h"
#include "cli/RunPort.h"
#include "modbus/ModbusFrame.h"
#include "modbus/ModbusWrite.h"
#include "util/Text.h"

#include <ostream>

namespace brivox::cli {

namespace {

constexpr int kNotWritten = 1;

struct CWriteRequest {
    CMasterLink link;
    CModbusWrite write;
    CModbusValueFormat values;
    std::vector<uint8_t> adu; // the write's request
};

std::string ParseCoils(const std::string& text, std::vector<uint16_t>& coils) {
    for (const std::string& piece : SplitText(text, ",")) {
        const std::string coil = TrimText(piece);
        if (coil != "0" && coil != "1" && coil != "on" && coil != "off")
            return "a coil is 0, 1, on or off, not \"" + coil + "\"";
        coils.push_back(coil == "1" || coil == "on");
    }
    return "";
}

// Each value in the type and order asked, one after another; text is one value.
std::string ParseRegisters(const std::string& text, CModbusValueFormat& format,
                           std::vector<uint16_t>& registers) {
    const bool isText = format.type == ModbusValueType::String;
    if (isText)
        format.stringRegisters = std::max<int>(1, static_cast<int>(text.size() + 1) / 2);
    for (const std::string& piece :
         isText ? std::vector<std::string>{text} : SplitText(text, ",")) {
        std::vector<uint16_t> value;
        if (std::string error = EncodeModbusValue(isText ? piece : TrimText(piece), format, value);
            !error.empty())
            return error;
        registers.insert(registers.end(), value.begin(), value.end());
    }
    return "";
}

std::string ParseMask(const CCliArguments& args, CModbusWrite& write) {
    int andMask = 0;
    int orMask = 0;
    if (!ParseHexWord(args.Value("--and", "FFFF"), andMask) ||
        !ParseHexWord(args.Value("--or", "0000"), orMask))
        return "--and and --or take 1 to 4 hex digits";
    write.andMask = static_cast<uint16_t>(andMask);
    write.orMask = static_cast<uint16_t>(orMask);
    return "";
}

std::string ParseWriteValues(const CCliArguments& args, CWriteRequest& request) {
    CModbusWrite& write = request.write;
    if (write.function == 0x16)
        return ParseMask(args, write);
    if (!args.Has("--value"))
        return "give --value (several separated by commas)";
    if (write.function == 0x05 || write.function == 0x0F)
        return ParseCoils(args.Value("--value"), write.values);
    CModbusValueFormat& format = request.values;
    std::string error = ParseValueFormatOptions(args, format);
    if (error.empty())
        error = ParseRegisters(args.Value("--value"), format, write.values);
    if (error.empty() && write.function == 0x06 && write.values.size() != 1)
        error = "function 06 writes one register and the value takes " +
                std::to_string(write.values.size()) + ": write it with --function 10";
    return error;
}

std::string ParseWriteRequest(const CCliArguments& args, CWriteRequest& request) {
    CModbusWrite& write = request.write;
    if (std::string error = ParseMasterLink(args, 1000, request.link); !error.empty())
        return error;
    if (!NumberIn(args.Value("--slave", "1"), 1, 247, write.slave))
        return "--slave takes 1 to 247";
    if (!args.Has("--function") || !ParseHexWord(args.Value("--function"), write.function))
        return "--function takes 05, 06, 0F, 10, 16 or 17";
    if (!ParseHexWord(args.Value("--start", "0000"), write.start))
        return "--start takes 1 to 4 hex digits (0000 to FFFF)";
    if (!ParseHexWord(args.Value("--read-start", "0000"), write.readStart) ||
        !NumberIn(args.Value("--read-count", "1"), 1, 125, write.readCount))
        return "--read-start takes 1 to 4 hex digits and --read-count 1 to 125";
    if (std::string error = ParseWriteValues(args, request); !error.empty())
        return error;
    return BuildModbusWrite(write, request.adu);
}

int RunWrite(const CCliArguments& args, CCliStreams& io) {
    CWriteRequest request;
    if (std::string error = ParseWriteRequest(args, request); !error.empty()) {
        io.err << "brivox-cli write: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    bool written = false;
    CMasterSession session(
        QueuedRequestsOnly(request.link), [&](CModbusPoll&, const CModbusPollResult& result) {
            written = result.outcome == ModbusPollOutcome::Valid;
            if (!written)
                io.err << "brivox-cli write: " << result.error << "\n";
            for (const std::string& line :
                 written ? DescribeModbusReply(result.reply, request.write.readCount)
                         : std::vector<std::string>{})
                io.out << line << "\n";
            return false;
        });
    const int code = RunMasterSession(session, request.link, "write", {request.adu}, io.err);
    return code != 0 ? code : written ? 0 : kNotWritten;
}

} // namespace

CCommand WriteCommand() {
    return {"write",
            MasterLinkUsage() +
                " [--slave N] --function 05|06|0F|10|16|17 [--start HEX] [--value V[,V...]] "
                "[--type u16|s16|hex|bin|u32|s32|f32|u64|s64|f64|string] "
                "[--order ABCD|CDAB|BADC|DCBA] [--scale K] [--offset C] [--and HEX --or HEX] "
                "[--read-start HEX --read-count N]",
            "write coils (05, 0F: 0 or 1 each) or registers (06, 10, and 17, which reads "
            "--read-count registers back) from --start with typed values, or mask one register "
            "(16: --and, --or); print the slave's confirmation; exit 0 when it confirmed, 1 "
            "otherwise, 3 for a port error",
            WithMasterLinkOptions({{"--slave", true},
                                   {"--function", true},
                                   {"--start", true},
                                   {"--value", true},
                                   {"--type", true},
                                   {"--order", true},
                                   {"--scale", true},
                                   {"--offset", true},
                                   {"--and", true},
                                   {"--or", true},
                                   {"--read-start", true},
                                   {"--read-count", true}}),
            RunWrite,
            kPortError};
}

} // namespace brivox::cli
