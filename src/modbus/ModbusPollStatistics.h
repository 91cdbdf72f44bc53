#pragma once

#include "util/LatencyHistogram.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace brivox {

// How one poll cycle ended.
enum class ModbusPollOutcome {
    Valid,
    TimedOut,
    BadChecksum, // a whole frame whose CRC or LRC is wrong
    Exception,
    WrongSlave,
    WrongFunction,
    WrongLength, // the right slave and function, but not the reply asked for
};

struct CModbusPollResult {
    ModbusPollOutcome outcome = ModbusPollOutcome::TimedOut;
    std::vector<uint16_t> values; // registers, or coils and inputs as 0 and 1
    int exceptionCode = 0;
    std::string error;            // what went wrong; empty for a valid reply
    int64_t replyMicros = -1;     // from the request's last byte out to the reply's last byte in
    std::vector<uint8_t> request; // the request's ADU
    std::vector<uint8_t> reply;   // the reply's ADU, for a valid reply or an exception
};

// The health of a poll's link, counted over its cycles.
struct CModbusPollStatistics {
    int64_t requests = 0;
    int64_t valid = 0;
    int64_t timeouts = 0;
    int64_t checksumErrors = 0;
    int64_t exceptions = 0;
    std::map<int, int64_t> exceptionsByCode;
    int64_t wrongSlave = 0;
    int64_t wrongFunction = 0;
    int64_t wrongLength = 0;
    int64_t late = 0;             // replies that came after their time-out, dropped
    CLatencyHistogram replyTimes; // of the cycles that got a reply

    void Count(const CModbusPollResult& result);
    // "requests 10, valid 9, time-outs 1, CRC errors 0, exceptions 0, wrong slave 0, wrong
    // function 0, wrong length 0, late 1; reply time min 1.02 median 1.20 p99 2.31 max 2.31 ms"
    std::string Summary(bool ascii) const;
};

} // namespace brivox
