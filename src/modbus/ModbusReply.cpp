#include "modbus/ModbusReply.h"

#include "modbus/ModbusFrame.h"
#include "util/Text.h"

#include <algorithm>

namespace brivox {

namespace {

constexpr uint8_t kExceptionFlag = 0x80;
constexpr uint8_t kDiagnostics = 0x08;

std::string Hex2(uint8_t value) {
    return FormatNumber(value, 16, 2);
}

uint16_t Word(const std::vector<uint8_t>& adu, size_t at) {
    return static_cast<uint16_t>(adu[at] << 8 | adu[at + 1]);
}

std::string AddressAndCount(const std::vector<uint8_t>& adu, const char* countName) {
    return "address " + FormatNumber(Word(adu, 2), 16, 4) + " " + countName + " " +
           FormatNumber(Word(adu, 4), 16, 4);
}

CModbusReplyCheck Mismatch(std::string reason, ModbusMismatch kind = ModbusMismatch::Shape) {
    return {ModbusVerdict::Mismatch, std::move(reason), {}, kind};
}

// The length of the frame at the start of the bytes once it can be told; 0 before.
size_t FrameLength(const std::vector<uint8_t>& requestFrame, const std::vector<uint8_t>& received,
                   bool ascii) {
    if (!ascii) {
        if (received.size() >= 2 && received[1] == kDiagnostics)
            return received.size() >= requestFrame.size() ? requestFrame.size() : 0;
        if (received.size() >= 2 && !RtuReplyLengthKnown(received[1]))
            return RtuFrameEndByCrc(received, 4);
        const size_t length = RtuReplyLength(received);
        return received.size() >= length ? length : 0;
    }
    for (size_t i = 1; i < received.size(); ++i)
        if (received[i - 1] == '\r' && received[i] == '\n')
            return i + 1;
    return 0;
}

bool StartsWith(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// Bytes per coil or register count that a read reply must carry.
size_t ReadByteCount(uint8_t function, uint16_t quantity) {
    return function <= 0x02 ? (quantity + 7u) / 8u : 2u * quantity;
}

// Functions whose reply is the request itself.
bool EchoedWhole(uint8_t function) {
    return function == 0x05 || function == 0x06 || function == kDiagnostics || function == 0x16;
}

std::string ByteCountMismatch(const std::vector<uint8_t>& reply) {
    const size_t count = reply.size() > 2 ? reply[2] : 0;
    if (reply.size() < 3 || reply.size() != 3 + count)
        return "byte count " + std::to_string(count) + " but " +
               std::to_string(reply.size() < 3 ? 0 : reply.size() - 3) + " data bytes";
    return "";
}

// The replies of the functions beyond the reads and writes of coils and registers.
std::string OtherDataMismatch(const std::vector<uint8_t>& request,
                              const std::vector<uint8_t>& reply) {
    switch (request[1]) {
    case 0x07:
        return reply.size() == 3
                   ? ""
                   : "an exception status of " + std::to_string(reply.size()) + " bytes";
    case kDiagnostics:
    case 0x16:
        return reply == request ? "" : "the reply does not echo the request";
    case 0x11:
        return ByteCountMismatch(reply);
    case 0x2B:
        return reply.size() > 2 && request.size() > 2 && reply[2] == request[2] &&
                       (reply[2] != 0x0E || ModbusDeviceIdentificationEnd(reply) == reply.size())
                   ? ""
                   : "no device identification objects";
    default:
        return ""; // a function of the device's own: any reply of it answers
    }
}

// The reply's data against the request's, for a reply with the right slave and function.
std::string DataMismatch(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply) {
    const uint8_t function = request[1];
    const bool readsOrWrites = (function >= 0x01 && function <= 0x06) || function == 0x0F ||
                               function == 0x10 || function == 0x17;
    if (!readsOrWrites || request.size() < 6)
        return OtherDataMismatch(request, reply);
    if ((function >= 0x01 && function <= 0x04) || function == 0x17) {
        const uint16_t quantity = Word(request, 4);
        const size_t expected = ReadByteCount(function, quantity);
        const size_t count = reply.size() > 2 ? reply[2] : 0;
        if (count != expected)
            return "byte count " + std::to_string(count) + " in the reply, " +
                   std::to_string(expected) + " for the " + std::to_string(quantity) +
                   (function <= 0x02 ? " coils asked" : " registers asked");
        return ByteCountMismatch(reply);
    }
    const bool single = function == 0x05 || function == 0x06;
    const char* what = single ? "value" : "quantity";
    if (reply.size() != 6 || !std::equal(reply.begin() + 2, reply.end(), request.begin() + 2))
        return "the reply confirms " +
               (reply.size() == 6 ? AddressAndCount(reply, what)
                                  : std::to_string(reply.size()) + " bytes") +
               ", the request was " + AddressAndCount(request, what);
    return "";
}

bool AduOf(const std::vector<uint8_t>& frame, bool ascii, std::vector<uint8_t>& adu) {
    return (ascii ? AduOfAsciiFrame(frame, adu) : AduOfRtuFrame(frame, adu)) && adu.size() >= 2;
}

CModbusReplyCheck CheckFrame(const std::vector<uint8_t>& request, const std::vector<uint8_t>& frame,
                             size_t trailing, bool ascii) {
    std::vector<uint8_t> reply;
    if (!AduOf(frame, ascii, reply))
        return {ModbusVerdict::BadChecksum, ascii ? "bad LRC" : "bad CRC", {}};
    if (request[0] == 0)
        return Mismatch("a reply to a broadcast, from slave " + std::to_string(reply[0]),
                        ModbusMismatch::Slave);
    if (reply[0] != request[0])
        return Mismatch("reply from slave " + std::to_string(reply[0]) + ", the request was to " +
                            std::to_string(request[0]),
                        ModbusMismatch::Slave);
    const bool exception = reply[1] == (request[1] | kExceptionFlag);
    if (reply[1] != request[1] && !exception)
        return Mismatch("function " + Hex2(reply[1]) + " in the reply, the request was " +
                            Hex2(request[1]),
                        ModbusMismatch::Function);
    if (exception && reply.size() != 3)
        return Mismatch("an exception reply of " + std::to_string(reply.size()) + " bytes");
    if (std::string reason = exception ? "" : DataMismatch(request, reply); !reason.empty())
        return Mismatch(reason);
    if (trailing != 0)
        return Mismatch(std::to_string(trailing) + " more bytes after the reply");
    return {exception ? ModbusVerdict::Exception : ModbusVerdict::Ok, "",
            DescribeModbusReply(reply, request.size() >= 6 ? Word(request, 4) : 0)};
}

// A reply that cannot be framed yet may already show that it answers something else.
CModbusReplyCheck CheckUnframed(const std::vector<uint8_t>& request,
                                const std::vector<uint8_t>& received, bool ascii) {
    if (ascii || received.size() < 2 || request[0] == 0)
        return {};
    if (received[0] != request[0])
        return Mismatch("reply from slave " + std::to_string(received[0]) +
                            ", the request was to " + std::to_string(request[0]),
                        ModbusMismatch::Slave);
    if ((received[1] & ~kExceptionFlag) != request[1])
        return Mismatch("function " + Hex2(received[1]) + " in the reply, the request was " +
                            Hex2(request[1]),
                        ModbusMismatch::Function);
    return {};
}

} // namespace

bool IsBroadcastRequest(const std::vector<uint8_t>& requestFrame, bool ascii) {
    std::vector<uint8_t> request;
    return AduOf(requestFrame, ascii, request) && request[0] == 0;
}

CModbusReplyCheck CheckModbusReply(const std::vector<uint8_t>& requestFrame,
                                   const std::vector<uint8_t>& received, bool ascii) {
    std::vector<uint8_t> request;
    if (!AduOf(requestFrame, ascii, request))
        return Mismatch("the request is no MODBUS frame");
    if (received.empty())
        return {};
    if (StartsWith(received, requestFrame) &&
        (!EchoedWhole(request[1]) || received.size() > requestFrame.size()))
        return Mismatch("an echo of the request (an RS-485 adapter that hears itself?)");
    const size_t length = FrameLength(requestFrame, received, ascii);
    if (length == 0)
        return CheckUnframed(request, received, ascii);
    const std::vector<uint8_t> frame(received.begin(), received.begin() + length);
    return CheckFrame(request, frame, received.size() - length, ascii);
}

} // namespace brivox
