// File transfer protocols and the Debian lrzsz programs that speak them.
#pragma once

#include <string>
#include <vector>

namespace brivox {

// Raw: the file's bytes as they are, paced (CPacedUpload); the rest through lrzsz.
enum class TransferProtocol { Raw, Xmodem, Xmodem1k, Ymodem, Zmodem };

// "raw", "xmodem", "xmodem-1k", "ymodem" or "zmodem"; an error text for any other name.
std::string ParseTransferProtocol(const std::string& name, TransferProtocol& protocol);

// A program to start with its arguments, in a folder (empty: the current one).
struct CTransferCommand {
    std::string program;
    std::vector<std::string> args;
    std::string folder;
};

// The lrzsz sender of these files; XMODEM sends one file. Not for Raw.
CTransferCommand SendCommand(TransferProtocol protocol, const std::vector<std::string>& files);

// The lrzsz receiver into folder. XMODEM carries no file name, so its file is written as
// xmodemName; a received file never replaces one that is there (lrzsz renames it).
CTransferCommand ReceiveCommand(TransferProtocol protocol, const std::string& folder,
                                const std::string& xmodemName);

} // namespace brivox
