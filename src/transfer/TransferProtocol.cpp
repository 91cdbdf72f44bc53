#include "transfer/TransferProtocol.h"

#include <array>
#include <utility>

namespace brivox {

namespace {

constexpr std::array<std::pair<const char*, TransferProtocol>, 5> kNames{{
    {"raw", TransferProtocol::Raw},
    {"xmodem", TransferProtocol::Xmodem},
    {"xmodem-1k", TransferProtocol::Xmodem1k},
    {"ymodem", TransferProtocol::Ymodem},
    {"zmodem", TransferProtocol::Zmodem},
}};

// -vv: the status lines the progress is read from; -b: binary, no line-end conversion.
const std::vector<std::string> kCommonArgs{"-vv", "-b"};

} // namespace

std::string ParseTransferProtocol(const std::string& name, TransferProtocol& protocol) {
    for (const auto& [text, value] : kNames)
        if (name == text) {
            protocol = value;
            return "";
        }
    return "unknown protocol \"" + name + "\" (raw, xmodem, xmodem-1k, ymodem or zmodem)";
}

CTransferCommand SendCommand(TransferProtocol protocol, const std::vector<std::string>& files) {
    CTransferCommand command{"sz", kCommonArgs, ""};
    switch (protocol) {
    case TransferProtocol::Xmodem:
    case TransferProtocol::Xmodem1k:
        command.program = "sx";
        if (protocol == TransferProtocol::Xmodem1k)
            command.args.push_back("-k");
        command.args.push_back(files.empty() ? "" : files.front());
        return command;
    case TransferProtocol::Ymodem:
        command.program = "sb";
        break;
    default:
        break;
    }
    command.args.insert(command.args.end(), files.begin(), files.end());
    return command;
}

CTransferCommand ReceiveCommand(TransferProtocol protocol, const std::string& folder,
                                const std::string& xmodemName) {
    switch (protocol) {
    case TransferProtocol::Xmodem:
    case TransferProtocol::Xmodem1k: {
        // -c: ask for CRC-16 blocks; 1 KB blocks are taken as they come.
        CTransferCommand command{"rx", kCommonArgs, folder};
        command.args.insert(command.args.end(), {"-c", xmodemName});
        return command;
    }
    case TransferProtocol::Ymodem:
        return {"rb", {"-vv", "-b", "-E"}, folder};
    default:
        return {"rz", {"-vv", "-b", "-E"}, folder};
    }
}

} // namespace brivox
