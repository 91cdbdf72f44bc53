#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// One decoded value of a frame: a start address, a quantity, the registers of a reply...
struct CModbusField {
    std::string name;             // one word: "start", "quantity", "byte_count", "registers"
    std::vector<uint32_t> values; // one value, or the coils or registers in order
    int hexDigits = 0;            // shown as hex with this many digits; 0: decimal
};

// What a frame seen on the line is, as far as its bytes tell.
struct CModbusFrameInfo {
    enum class Kind { Request, Reply, Exception, Unknown };
    Kind kind = Kind::Unknown;
    int slave = -1;    // -1 when the frame is too short to tell
    int function = -1; // as on the line, with the exception flag
    std::vector<CModbusField> fields;
    bool checksumOk = false;
    std::string checksum; // "CRC ok", "bad CRC 00 00 (should be C5 CD)", "LRC ok", ...
    std::string problem;  // why the bytes are no MODBUS frame or do not fit their function
};

// Decodes the frames of a bus one after another. Requests and replies of the functions it knows
// (01 to 06, 0F and 10, and 07, 08, 11, 16, 17 and 2B/0E) are told apart by their shape; where
// both shapes fit (a read reply of the length of a request, the echo of a single write, of a
// diagnostic or of a mask write) the frame answers the request seen just before it when it can.
class CModbusDecoder {
public:
    explicit CModbusDecoder(bool ascii) : m_ascii(ascii) {}

    CModbusFrameInfo Decode(const std::vector<uint8_t>& frame);

private:
    const bool m_ascii;
    std::vector<uint8_t> m_request; // the last request's ADU, until a reply answers it
};

// The name of an exception code ("illegal data address"); empty for a code without one.
const char* ModbusExceptionName(int code);

// "request", "reply", "exception" or "unknown".
const char* ModbusKindName(CModbusFrameInfo::Kind kind);

// "slave 1 request 03 read holding registers: start 0000 quantity 10; CRC ok".
std::string DescribeModbusFrame(const CModbusFrameInfo& info);

// The length of the first whole frame at the start of the bytes when more bytes follow it (RTU:
// a frame of a request or reply shape whose CRC checks out) or when it has ended (ASCII: through
// its CR LF, or up to the ":" that starts the next one); 0 when none can be told yet.
size_t ModbusFrameEnd(const std::vector<uint8_t>& bytes, bool ascii);

} // namespace brivox
