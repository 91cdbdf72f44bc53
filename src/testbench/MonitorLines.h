#pragma once

#include "capture/ReplyPairing.h"
#include "modbus/ModbusDecoder.h"
#include "serial/ModemLineWatch.h"
#include "testbench/FrameSplitter.h"
#include "util/WallClock.h"

#include <cstdint>
#include <memory>
#include <string>

namespace brivox {

// The lines the bus monitor prints: one per frame (text for people or a JSON object for tools),
// and the summary at the end. Frame times come from the steady clock; they are shown as the wall
// time at the start plus the steady time since, so that a clock change cannot reorder them. With
// MODBUS decoding, a reply also shows how long after its request it began.
class CMonitorLines {
public:
    enum class Format { Text, Jsonl };
    enum class Modbus { None, Rtu, Ascii };

    // namePorts: text lines name the port of each frame (JSON objects always do).
    CMonitorLines(Format format, Modbus modbus, CWallClock clock, bool namePorts = false);

    // The line of a frame of the port, with its line break; frames come in the order they
    // began. Counts it for the summary.
    std::string Line(const CLineFrame& frame, const std::string& port);
    // The device went away at this moment (steady clock), and why; counted as an outage.
    std::string LostLine(int64_t atUs, const std::string& reason);
    // The device is back at this moment, after the outage that LostLine began.
    std::string BackLine(int64_t atUs);
    // The modem input lines changed at this moment.
    std::string ModemLine(int64_t atUs, const CModemLines& lines) const;
    std::string Summary() const;

private:
    // The time a line shows for a moment of the steady clock.
    std::string TimeOf(int64_t steadyUs, bool utc) const;
    struct CDecoded {
        CModbusFrameInfo info;
        CReplyPairing::CPair pair;
    };
    std::string TextLine(const CLineFrame& frame, const std::string& port,
                         const CDecoded* decoded) const;
    std::string JsonLine(const CLineFrame& frame, const std::string& port,
                         const CDecoded* decoded) const;
    std::string SummaryText() const;
    std::string SummaryJson() const;
    void Count(const CLineFrame& frame, const CModbusFrameInfo* info);

    const Format m_format;
    const CWallClock m_clock;
    const bool m_namePorts;
    std::unique_ptr<CModbusDecoder> m_decoder;
    CReplyPairing m_pairing;
    int64_t m_frames = 0;
    int64_t m_bytes = 0;
    int64_t m_badChecksums = 0;
    int64_t m_shortestGapUs = -1;
    int64_t m_longestGapUs = -1;
    int64_t m_outages = 0;
    int64_t m_lostAtUs = -1;
};

} // namespace brivox
