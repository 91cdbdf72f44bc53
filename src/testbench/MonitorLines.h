#pragma once

#include "modbus/ModbusDecoder.h"
#include "serial/ModemLineWatch.h"
#include "testbench/FrameSplitter.h"

#include <cstdint>
#include <memory>
#include <string>

namespace brivox {

// The lines the bus monitor prints: one per frame (text for people or a JSON object for tools),
// and the summary at the end. Frame times come from the steady clock; they are shown as the wall
// time at the start plus the steady time since, so that a clock change cannot reorder them.
class CMonitorLines {
public:
    enum class Format { Text, Jsonl };
    enum class Modbus { None, Rtu, Ascii };

    struct CClock {
        int64_t steadyStartUs = 0;
        int64_t wallStartUs = 0; // microseconds since 1970 at steadyStartUs
    };

    CMonitorLines(Format format, Modbus modbus, CClock clock);

    // The frame's line with its line break; counts it for the summary.
    std::string Line(const CLineFrame& frame);
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
    std::string TextLine(const CLineFrame& frame, const CModbusFrameInfo* info) const;
    std::string JsonLine(const CLineFrame& frame, const CModbusFrameInfo* info) const;
    void Count(const CLineFrame& frame, const CModbusFrameInfo* info);

    const Format m_format;
    const CClock m_clock;
    std::unique_ptr<CModbusDecoder> m_decoder;
    int64_t m_frames = 0;
    int64_t m_bytes = 0;
    int64_t m_badChecksums = 0;
    int64_t m_shortestGapUs = -1;
    int64_t m_longestGapUs = -1;
    int64_t m_outages = 0;
    int64_t m_lostAtUs = -1;
};

} // namespace brivox
