#include "modbus/ModbusFrame.h"

#include "modbus/ModbusChecksum.h"
#include "modbus/ModbusIdentification.h"
#include "util/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace brivox {

namespace {

constexpr uint8_t kExceptionFlag = 0x80;
constexpr size_t kCrcSize = 2;

uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

std::string Hex4(uint16_t value) {
    return FormatNumber(value, 16, 4);
}

int HexDigit(uint8_t c) {
    if (!std::isxdigit(c))
        return -1;
    return std::isdigit(c) ? c - '0' : std::toupper(c) - 'A' + 10;
}

std::vector<std::string> DescribeRead(const std::vector<uint8_t>& adu, int quantity, bool bits) {
    const size_t count = adu[2];
    if (adu.size() != 3 + count)
        return {"malformed reply: byte count " + std::to_string(count)};
    std::string line = bits ? "coils" : "registers";
    if (bits) {
        for (int i = 0; i < quantity && static_cast<size_t>(i / 8) < count; ++i)
            line += (adu[3 + i / 8] >> (i % 8)) & 1 ? " 1" : " 0";
    } else {
        for (size_t i = 0; i + 1 < count; i += 2)
            line += " " + Hex4(Word(adu, 3 + i));
    }
    return {line};
}

// " 0A FF 01" for the bytes from the given one on.
std::string HexBytes(const std::vector<uint8_t>& adu, size_t from) {
    std::string text;
    for (size_t i = from; i < adu.size(); ++i)
        text += " " + FormatNumber(adu[i], 16, 2);
    return text;
}

std::vector<std::string> DescribeDeviceIdentification(const std::vector<uint8_t>& adu) {
    CModbusDeviceIdentification identification;
    if (!DecodeDeviceIdentification(adu, identification))
        return {"malformed reply: no device identification objects"};
    std::vector<std::string> lines;
    for (const CModbusDeviceObject& object : identification.objects)
        lines.push_back(ModbusDeviceObjectName(object.id) + " \"" + object.value + "\"");
    if (identification.moreFollows)
        lines.push_back("more from object " + FormatNumber(identification.nextObject, 16, 2));
    return lines.empty() ? std::vector<std::string>{"no objects"} : lines;
}

} // namespace

std::vector<uint8_t> RtuFrameOf(const std::vector<uint8_t>& adu) {
    std::vector<uint8_t> frame = adu;
    const CModbusCrc crc = ModbusCrc16(adu.data(), adu.size());
    frame.push_back(crc.first);
    frame.push_back(crc.second);
    return frame;
}

std::vector<uint8_t> AsciiFrameOf(const std::vector<uint8_t>& adu) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::vector<uint8_t> content = adu;
    content.push_back(ModbusLrc(adu.data(), adu.size()));
    std::vector<uint8_t> frame = {':'};
    for (const uint8_t byte : content) {
        frame.push_back(static_cast<uint8_t>(kDigits[byte >> 4]));
        frame.push_back(static_cast<uint8_t>(kDigits[byte & 0x0F]));
    }
    frame.push_back('\r');
    frame.push_back('\n');
    return frame;
}

bool AduOfRtuFrame(const std::vector<uint8_t>& frame, std::vector<uint8_t>& adu) {
    if (frame.size() < 4)
        return false;
    const CModbusCrc crc = ModbusCrc16(frame.data(), frame.size() - kCrcSize);
    if (crc.first != frame[frame.size() - 2] || crc.second != frame.back())
        return false;
    adu.assign(frame.begin(), frame.end() - kCrcSize);
    return true;
}

bool AduOfAsciiFrame(const std::vector<uint8_t>& frame, std::vector<uint8_t>& adu) {
    if (frame.size() < 9 || frame.front() != ':' || !AsciiFrameEnded(frame) ||
        frame.size() % 2 == 0)
        return false;
    std::vector<uint8_t> bytes;
    for (size_t i = 1; i + 3 < frame.size(); i += 2) {
        const int high = HexDigit(frame[i]);
        const int low = HexDigit(frame[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    if (ModbusLrc(bytes.data(), bytes.size() - 1) != bytes.back())
        return false;
    bytes.pop_back();
    adu = std::move(bytes);
    return true;
}

namespace {

constexpr size_t kUnknownLength = SIZE_MAX;

// The reply's length once the bytes tell it, 0 before; kUnknownLength for a function whose
// replies this program does not know.
size_t ReplyLengthOf(const std::vector<uint8_t>& received) {
    const uint8_t function = received[1];
    if (function & kExceptionFlag)
        return 5;
    switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x11:
    case 0x17:
        return received.size() < 3 ? 0 : 3 + received[2] + kCrcSize;
    case 0x05:
    case 0x06:
    case 0x0F:
    case 0x10:
        return 8;
    case 0x07:
        return 5;
    case 0x16:
        return 10;
    case 0x2B: {
        const size_t end = ModbusDeviceIdentificationEnd(received);
        return end == 0 ? 0 : end + kCrcSize;
    }
    default:
        return kUnknownLength;
    }
}

} // namespace

size_t RtuReplyLength(const std::vector<uint8_t>& received) {
    if (received.size() < 2)
        return 0;
    const size_t length = ReplyLengthOf(received);
    return length == kUnknownLength ? 0 : length;
}

bool RtuReplyLengthKnown(uint8_t function) {
    return ReplyLengthOf({0, function}) != kUnknownLength;
}

size_t RtuFrameEndByCrc(const std::vector<uint8_t>& bytes, size_t shortest) {
    for (size_t length = std::max<size_t>(shortest, 4); length <= bytes.size(); ++length) {
        const CModbusCrc crc = ModbusCrc16(bytes.data(), length - kCrcSize);
        if (crc.first == bytes[length - 2] && crc.second == bytes[length - 1])
            return length;
    }
    return 0;
}

size_t ModbusDeviceIdentificationEnd(const std::vector<uint8_t>& bytes) {
    constexpr size_t kObjectsAt = 8;
    if (bytes.size() < kObjectsAt)
        return 0;
    size_t at = kObjectsAt;
    for (int i = 0; i < bytes[kObjectsAt - 1]; ++i) {
        if (at + 2 > bytes.size())
            return 0;
        at += 2 + bytes[at + 1];
    }
    return at;
}

bool AsciiFrameEnded(const std::vector<uint8_t>& received) {
    return received.size() >= 2 && received[received.size() - 2] == '\r' && received.back() == '\n';
}

std::vector<std::string> DescribeModbusReply(const std::vector<uint8_t>& adu, int quantity) {
    if (adu.size() < 3)
        return {"malformed reply: too short"};
    const uint8_t function = adu[1];
    if (function & kExceptionFlag)
        return {"exception " + FormatNumber(adu[2], 16, 2)};
    switch (function) {
    case 0x01:
    case 0x02:
        return DescribeRead(adu, quantity, true);
    case 0x03:
    case 0x04:
    case 0x17:
        return DescribeRead(adu, quantity, false);
    case 0x07:
        return {"exception status " + FormatNumber(adu[2], 16, 2)};
    case 0x08:
        return {"echo" + HexBytes(adu, 2)};
    case 0x11:
        return {"slave id " + DescribeSlaveId(adu)};
    case 0x16:
        if (adu.size() != 8)
            return {"malformed reply: " + std::to_string(adu.size()) + " bytes"};
        return {"masked address " + Hex4(Word(adu, 2)) + " and " + Hex4(Word(adu, 4)) + " or " +
                Hex4(Word(adu, 6))};
    case 0x2B:
        return DescribeDeviceIdentification(adu);
    case 0x05:
    case 0x06:
    case 0x0F:
    case 0x10:
        if (adu.size() != 6)
            return {"malformed reply: " + std::to_string(adu.size()) + " bytes"};
        return {"written address " + Hex4(Word(adu, 2)) +
                (function == 0x05 || function == 0x06 ? " value " : " quantity ") +
                Hex4(Word(adu, 4))};
    default:
        return {"function " + FormatNumber(function, 16, 2) + " data" + HexBytes(adu, 2)};
    }
}

} // namespace brivox
