#include "modbus/ModbusPollStatistics.h"

#include <cstdio>

namespace brivox {

namespace {

std::string Milliseconds(int64_t micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(micros) / 1000.0);
    return text;
}

} // namespace

void CModbusPollStatistics::Count(const CModbusPollResult& result) {
    if (result.replyMicros >= 0)
        replyTimes.Add(result.replyMicros);
    switch (result.outcome) {
    case ModbusPollOutcome::Valid:
        ++valid;
        return;
    case ModbusPollOutcome::TimedOut:
        ++timeouts;
        return;
    case ModbusPollOutcome::BadChecksum:
        ++checksumErrors;
        return;
    case ModbusPollOutcome::Exception:
        ++exceptions;
        ++exceptionsByCode[result.exceptionCode];
        return;
    case ModbusPollOutcome::WrongSlave:
        ++wrongSlave;
        return;
    case ModbusPollOutcome::WrongFunction:
        ++wrongFunction;
        return;
    case ModbusPollOutcome::WrongLength:
        ++wrongLength;
        return;
    }
}

std::string CModbusPollStatistics::Summary(bool ascii) const {
    std::string text = "requests " + std::to_string(requests) + ", valid " + std::to_string(valid) +
                       ", time-outs " + std::to_string(timeouts) + ", " + (ascii ? "LRC" : "CRC") +
                       " errors " + std::to_string(checksumErrors) + ", exceptions " +
                       std::to_string(exceptions);
    if (!exceptionsByCode.empty()) {
        std::string codes;
        for (const auto& [code, count] : exceptionsByCode) {
            char one[32];
            std::snprintf(one, sizeof one, "%s%02X: %lld", codes.empty() ? "" : ", ", code,
                          static_cast<long long>(count));
            codes += one;
        }
        text += " (" + codes + ")";
    }
    text += ", wrong slave " + std::to_string(wrongSlave) + ", wrong function " +
            std::to_string(wrongFunction) + ", wrong length " + std::to_string(wrongLength) +
            ", late " + std::to_string(late);
    if (replyTimes.Count() > 0)
        text += "; reply time min " + Milliseconds(replyTimes.Min()) + " median " +
                Milliseconds(replyTimes.Percentile(0.5)) + " p99 " +
                Milliseconds(replyTimes.Percentile(0.99)) + " max " +
                Milliseconds(replyTimes.Max()) + " ms";
    return text;
}

} // namespace brivox
