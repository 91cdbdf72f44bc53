#pragma once

#include "rules/BytePattern.h"
#include "script/JPItem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brivox {

// One case of a device-test file: a Detail script, or a MODBUS request and the reply it must get.
struct CDeviceTest {
    enum class Kind { Detail, Modbus };

    static constexpr int kMaxTimeoutMs = 3600 * 1000;
    static constexpr int kMaxRepeat = 100000;
    static constexpr int kMaxBreakMs = 10000;

    std::string name;
    int line = 0; // of its "case" line
    Kind kind = Kind::Detail;
    std::vector<CJPItem> items; // the script, or the request as one send item
    bool ascii = false;         // MODBUS framing
    // MODBUS: the whole reply frame the request must get; empty when any good reply will do.
    std::vector<uint8_t> expectedReply;
    // The reply must match this pattern (see CBytePattern); empty: not asked.
    CBytePattern expectMatch;
    int timeoutMs = 0; // how long the line may stay quiet; 0: the command's default
    int repeat = 1;
    int breakMs = 0; // a BREAK of this length before each run of the case; 0: none
};

// Reads a device-test file:
//
//   # a comment
//   case NAME                      starts a case
//   detail SCRIPT                  a Detail script ("05 <06 00 10>"), or
//   modbus rtu|ascii FIELDS        a MODBUS request: --function 03 --slave 1 --start 0010 ...
//   expect VALUES                  the registers (0010 0011) or coils (1 0 1) a read returns,
//                                  or "exception 02"
//   expect-match PATTERN           the reply matches the pattern ("01 03 02 ?? ?? crc16-modbus")
//   timeout MS                     how long the line may stay quiet before the case times out
//   repeat N                       run the case N times
//   break MS                       a BREAK of MS milliseconds before each run
//
// Returns an error text that begins with the line number ("line 7: ..."), empty on success.
std::string ParseDeviceTests(std::string_view text, std::vector<CDeviceTest>& tests);

} // namespace brivox
