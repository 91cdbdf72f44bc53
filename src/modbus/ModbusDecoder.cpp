#include "modbus/ModbusDecoder.h"

#include "modbus/ModbusChecksum.h"
#include "modbus/ModbusFrame.h"
#include "script/JPScript.h"
#include "util/Text.h"

#include <array>
#include <cctype>

namespace brivox {

namespace {

using Bytes = std::vector<uint8_t>;
using Kind = CModbusFrameInfo::Kind;

constexpr uint8_t kExceptionFlag = 0x80;

const char* FunctionName(int function) {
    switch (function) {
    case 0x01:
        return "read coils";
    case 0x02:
        return "read discrete inputs";
    case 0x03:
        return "read holding registers";
    case 0x04:
        return "read input registers";
    case 0x05:
        return "write single coil";
    case 0x06:
        return "write single register";
    case 0x0F:
        return "write multiple coils";
    case 0x10:
        return "write multiple registers";
    case 0x07:
        return "read exception status";
    case 0x08:
        return "diagnostics";
    case 0x11:
        return "report slave id";
    case 0x16:
        return "mask write register";
    case 0x17:
        return "read/write multiple registers";
    case 0x2B:
        return "read device identification";
    default:
        return "";
    }
}

std::string Hex2(uint32_t value) {
    return FormatNumber(static_cast<int32_t>(value), 16, 2);
}

uint32_t Word(const Bytes& adu, size_t at) {
    return static_cast<uint32_t>(adu[at] << 8 | adu[at + 1]);
}

bool IsRead(int function) {
    return function >= 0x01 && function <= 0x04;
}

bool IsSingleWrite(int function) {
    return function == 0x05 || function == 0x06;
}

bool IsMultipleWrite(int function) {
    return function == 0x0F || function == 0x10;
}

// Functions whose reply is the request itself.
bool IsEchoed(int function) {
    return IsSingleWrite(function) || function == 0x08 || function == 0x16;
}

CModbusField Hex4Field(const char* name, const Bytes& adu, size_t at) {
    return {name, {Word(adu, at)}, 4};
}

CModbusField CountField(const char* name, uint32_t value) {
    return {name, {value}, 0};
}

// The first count bits of the data bytes, least significant bit of each byte first.
CModbusField BitsField(const char* name, const Bytes& adu, size_t at, size_t count) {
    CModbusField field{name, {}, 0};
    for (size_t i = 0; i < count && at + i / 8 < adu.size(); ++i)
        field.values.push_back((adu[at + i / 8] >> (i % 8)) & 1u);
    return field;
}

CModbusField ByteField(const char* name, uint8_t value) {
    return {name, {value}, 2};
}

CModbusField BytesField(const char* name, const Bytes& adu, size_t at) {
    CModbusField field{name, {}, 2};
    for (size_t i = at; i < adu.size(); ++i)
        field.values.push_back(adu[i]);
    return field;
}

CModbusField WordsField(const char* name, const Bytes& adu, size_t at) {
    CModbusField field{name, {}, 4};
    for (size_t i = at; i + 1 < adu.size(); i += 2)
        field.values.push_back(Word(adu, i));
    return field;
}

const char* ReadItems(int function) {
    switch (function) {
    case 0x01:
        return "coils";
    case 0x02:
        return "inputs";
    default:
        return "registers";
    }
}

// The ADU of an ASCII frame with its LRC byte last, or a problem text.
std::string AsciiBytes(const Bytes& frame, Bytes& bytes) {
    if (frame.empty() || frame.front() != ':')
        return "no \":\" at the start of a MODBUS ASCII frame";
    if (frame.size() < 3 || frame[frame.size() - 2] != '\r' || frame.back() != '\n')
        return "no CR LF at the end of a MODBUS ASCII frame";
    if (frame.size() % 2 == 0)
        return "an odd number of hex characters";
    for (size_t i = 1; i + 3 < frame.size(); i += 2) {
        if (!std::isxdigit(frame[i]) || !std::isxdigit(frame[i + 1]))
            return "a character that is no hex digit at " + std::to_string(i);
        const std::string_view pair(reinterpret_cast<const char*>(&frame[i]), 2);
        bytes.push_back(static_cast<uint8_t>(ReadHexPrefix(pair)));
    }
    if (bytes.size() < 3)
        return "too short for a MODBUS ASCII frame";
    return "";
}

// The requests of the functions beyond reads and writes.
bool OtherRequestFields(const Bytes& adu, std::vector<CModbusField>& fields) {
    switch (adu[1]) {
    case 0x07:
    case 0x11:
        fields.clear();
        return adu.size() == 2;
    case 0x08:
        if (adu.size() < 4)
            return false;
        fields = {Hex4Field("sub_function", adu, 2), BytesField("data", adu, 4)};
        return true;
    case 0x16:
        if (adu.size() != 8)
            return false;
        fields = {Hex4Field("address", adu, 2), Hex4Field("and_mask", adu, 4),
                  Hex4Field("or_mask", adu, 6)};
        return true;
    case 0x17:
        if (adu.size() < 11 || adu.size() != 11u + adu[10])
            return false;
        fields = {Hex4Field("read_start", adu, 2),   CountField("read_quantity", Word(adu, 4)),
                  Hex4Field("write_start", adu, 6),  CountField("write_quantity", Word(adu, 8)),
                  CountField("byte_count", adu[10]), WordsField("registers", adu, 11)};
        return true;
    case 0x2B:
        if (adu.size() != 5)
            return false;
        fields = {ByteField("mei_type", adu[2]), ByteField("read_code", adu[3]),
                  ByteField("object", adu[4])};
        return true;
    default:
        return false;
    }
}

// The replies of the functions beyond reads and writes.
bool OtherReplyFields(const Bytes& adu, std::vector<CModbusField>& fields) {
    switch (adu[1]) {
    case 0x07:
        if (adu.size() != 3)
            return false;
        fields = {ByteField("status", adu[2])};
        return true;
    case 0x08:
    case 0x16:
        return OtherRequestFields(adu, fields);
    case 0x11:
        if (adu.size() != 3u + adu[2])
            return false;
        fields = {CountField("byte_count", adu[2]), BytesField("data", adu, 3)};
        return true;
    case 0x17:
        if (adu.size() != 3u + adu[2])
            return false;
        fields = {CountField("byte_count", adu[2]), WordsField("registers", adu, 3)};
        return true;
    case 0x2B: {
        if (adu[2] != 0x0E || ModbusDeviceIdentificationEnd(adu) != adu.size())
            return false;
        CModbusField objects{"objects", {}, 2};
        for (size_t at = 8; at < adu.size(); at += 2u + adu[at + 1])
            objects.values.push_back(adu[at]);
        fields = {ByteField("mei_type", adu[2]),    ByteField("read_code", adu[3]),
                  ByteField("conformity", adu[4]),  ByteField("more", adu[5]),
                  ByteField("next_object", adu[6]), objects};
        return true;
    }
    default:
        return false;
    }
}

// The fields of a request; false when the ADU has no request's shape.
bool RequestFields(const Bytes& adu, std::vector<CModbusField>& fields) {
    const int function = adu[1];
    if (!IsRead(function) && !IsSingleWrite(function) && !IsMultipleWrite(function))
        return OtherRequestFields(adu, fields);
    if ((IsRead(function) || IsSingleWrite(function)) && adu.size() == 6) {
        const bool single = IsSingleWrite(function);
        fields = {Hex4Field(single ? "address" : "start", adu, 2),
                  single ? Hex4Field("value", adu, 4) : CountField("quantity", Word(adu, 4))};
        return true;
    }
    if (!IsMultipleWrite(function) || adu.size() < 7 || adu.size() != 7u + adu[6])
        return false;
    const uint32_t quantity = Word(adu, 4);
    fields = {Hex4Field("start", adu, 2), CountField("quantity", quantity),
              CountField("byte_count", adu[6]),
              function == 0x0F ? BitsField("coils", adu, 7, quantity)
                               : WordsField("registers", adu, 7)};
    return true;
}

// The fields of a reply; quantity is the request's count of coils, -1 when not known.
bool ReplyFields(const Bytes& adu, int quantity, std::vector<CModbusField>& fields) {
    const int function = adu[1];
    if (!IsRead(function) && !IsSingleWrite(function) && !IsMultipleWrite(function))
        return adu.size() >= 3 && OtherReplyFields(adu, fields);
    if (IsRead(function)) {
        if (adu.size() < 3 || adu.size() != 3u + adu[2])
            return false;
        const size_t bits = quantity >= 0 ? static_cast<size_t>(quantity) : adu[2] * 8u;
        fields = {CountField("byte_count", adu[2]),
                  function <= 0x02 ? BitsField(ReadItems(function), adu, 3, bits)
                                   : WordsField(ReadItems(function), adu, 3)};
        return true;
    }
    if (IsSingleWrite(function))
        return RequestFields(adu, fields);
    if (!IsMultipleWrite(function) || adu.size() != 6)
        return false;
    fields = {Hex4Field("start", adu, 2), CountField("quantity", Word(adu, 4))};
    return true;
}

// Whether a frame that has both shapes answers the request seen before it.
bool AnswersRequest(const Bytes& adu, const Bytes& request) {
    if (request.size() < 6 || request[0] != adu[0] || request[1] != adu[1])
        return false;
    if (IsEchoed(adu[1]))
        return adu == request;
    const uint32_t quantity = Word(request, 4);
    return adu[2] == (adu[1] <= 0x02 ? (quantity + 7) / 8 : 2 * quantity);
}

// The ADU and whether its checksum is good; a problem text when the bytes are no frame.
std::string Unframe(const Bytes& frame, bool ascii, Bytes& adu, CModbusFrameInfo& info) {
    if (ascii) {
        if (std::string problem = AsciiBytes(frame, adu); !problem.empty())
            return problem;
        const uint8_t got = adu.back();
        adu.pop_back();
        const uint8_t want = ModbusLrc(adu.data(), adu.size());
        info.checksumOk = got == want;
        info.checksum =
            info.checksumOk ? "LRC ok" : "bad LRC " + Hex2(got) + " (should be " + Hex2(want) + ")";
        return "";
    }
    if (frame.size() < 4)
        return "too short for a MODBUS RTU frame";
    adu.assign(frame.begin(), frame.end() - 2);
    const CModbusCrc want = ModbusCrc16(adu.data(), adu.size());
    info.checksumOk = want.first == frame[frame.size() - 2] && want.second == frame.back();
    info.checksum = info.checksumOk
                        ? "CRC ok"
                        : "bad CRC " + HexPairs({frame.end() - 2, frame.end()}) + " (should be " +
                              HexPairs({want.first, want.second}) + ")";
    return "";
}

// Where both shapes fit (a read reply with a byte count of 3, a single write's echo), the frame
// is a reply when it answers the request before it.
Kind Classify(bool answers, bool requestShape, bool replyShape) {
    if (requestShape && replyShape)
        return answers ? Kind::Reply : Kind::Request;
    return requestShape ? Kind::Request : replyShape ? Kind::Reply : Kind::Unknown;
}

std::string FieldText(const CModbusField& field) {
    std::string text;
    for (const char c : field.name)
        text += c == '_' ? ' ' : c;
    for (const uint32_t value : field.values) {
        text += " " + (field.hexDigits == 0
                           ? std::to_string(value)
                           : FormatNumber(static_cast<int32_t>(value), 16, field.hexDigits));
    }
    if (field.name == "code" && !field.values.empty() &&
        *ModbusExceptionName(static_cast<int>(field.values[0])) != '\0')
        text += std::string(" ") + ModbusExceptionName(static_cast<int>(field.values[0]));
    return text;
}

} // namespace

const char* ModbusExceptionName(int code) {
    static constexpr std::array<const char*, 12> kNames = {
        "",
        "illegal function",
        "illegal data address",
        "illegal data value",
        "slave device failure",
        "acknowledge",
        "slave device busy",
        "negative acknowledge",
        "memory parity error",
        "",
        "gateway path unavailable",
        "gateway target device failed to respond",
    };
    return code >= 0 && code < static_cast<int>(kNames.size()) ? kNames[static_cast<size_t>(code)]
                                                               : "";
}

CModbusFrameInfo CModbusDecoder::Decode(const std::vector<uint8_t>& frame) {
    CModbusFrameInfo info;
    Bytes adu;
    info.problem = Unframe(frame, m_ascii, adu, info);
    if (!info.problem.empty())
        return info;
    info.slave = adu[0];
    info.function = adu[1];
    if (adu[1] & kExceptionFlag) {
        info.kind = adu.size() == 3 ? Kind::Exception : Kind::Unknown;
        m_request.clear();
        if (adu.size() == 3)
            info.fields = {{"code", {adu[2]}, 2}};
        else
            info.problem = "an exception reply of " + std::to_string(adu.size()) + " bytes";
        return info;
    }
    if (*FunctionName(adu[1]) == '\0') {
        info.problem = "function " + Hex2(adu[1]) + " is not decoded";
        return info;
    }
    std::vector<CModbusField> requestFields, replyFields;
    const bool answers = AnswersRequest(adu, m_request);
    const int quantity = answers && adu[1] <= 0x02 ? static_cast<int>(Word(m_request, 4)) : -1;
    info.kind = Classify(answers, RequestFields(adu, requestFields),
                         ReplyFields(adu, quantity, replyFields));
    switch (info.kind) {
    case Kind::Request:
        info.fields = std::move(requestFields);
        m_request = adu;
        break;
    case Kind::Reply:
        info.fields = std::move(replyFields);
        m_request.clear();
        break;
    default:
        info.problem = std::to_string(adu.size()) + " bytes fit neither a request nor a reply";
    }
    return info;
}

const char* ModbusKindName(CModbusFrameInfo::Kind kind) {
    switch (kind) {
    case Kind::Request:
        return "request";
    case Kind::Reply:
        return "reply";
    case Kind::Exception:
        return "exception";
    default:
        return "unknown";
    }
}

std::string DescribeModbusFrame(const CModbusFrameInfo& info) {
    if (info.slave < 0)
        return "no MODBUS frame: " + info.problem;
    std::string text = "slave " + std::to_string(info.slave) + " " +
                       (info.kind == Kind::Unknown ? "function" : ModbusKindName(info.kind)) + " " +
                       Hex2(static_cast<uint32_t>(info.function));
    if (const char* name = FunctionName(info.function & ~kExceptionFlag); *name != '\0')
        text += std::string(" ") + name;
    for (size_t i = 0; i < info.fields.size(); ++i)
        text += (i == 0 ? ": " : " ") + FieldText(info.fields[i]);
    if (!info.problem.empty())
        text += " (" + info.problem + ")";
    return text + "; " + info.checksum;
}

namespace {

// The lengths a frame that begins with these bytes may have, by the shapes of its function.
std::vector<size_t> RtuShapeLengths(const Bytes& bytes) {
    const int function = bytes[1];
    if (function & kExceptionFlag)
        return {5};
    if (IsRead(function))
        return bytes.size() > 2 ? std::vector<size_t>{5u + bytes[2], 8} : std::vector<size_t>{8};
    if (IsSingleWrite(function))
        return {8};
    if (IsMultipleWrite(function))
        return bytes.size() > 6 ? std::vector<size_t>{8, 9u + bytes[6]} : std::vector<size_t>{8};
    switch (function) {
    case 0x07:
        return {4, 5};
    case 0x08: // the echo of a sub-function and one word, as most are
        return {8};
    case 0x11:
        return {4, 5u + bytes[2]};
    case 0x16:
        return {10};
    case 0x17:
        return bytes.size() > 10 ? std::vector<size_t>{5u + bytes[2], 13u + bytes[10]}
                                 : std::vector<size_t>{5u + bytes[2]};
    case 0x2B: {
        const size_t objectsEnd = ModbusDeviceIdentificationEnd(bytes);
        return objectsEnd != 0 ? std::vector<size_t>{7, objectsEnd + 2} : std::vector<size_t>{7};
    }
    default:
        return {};
    }
}

} // namespace

size_t ModbusFrameEnd(const std::vector<uint8_t>& bytes, bool ascii) {
    if (ascii) {
        for (size_t i = 1; i < bytes.size(); ++i) {
            if (bytes[i] == ':')
                return i;
            if (bytes[i] == '\n' && bytes[i - 1] == '\r')
                return i + 1;
        }
        return 0;
    }
    if (bytes.size() < 5)
        return 0;
    size_t end = 0;
    for (const size_t length : RtuShapeLengths(bytes)) {
        if (length >= bytes.size() || (end != 0 && length >= end))
            continue;
        const CModbusCrc crc = ModbusCrc16(bytes.data(), length - 2);
        if (crc.first == bytes[length - 2] && crc.second == bytes[length - 1])
            end = length;
    }
    return end;
}

} // namespace brivox
