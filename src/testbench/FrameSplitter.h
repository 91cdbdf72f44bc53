#pragma once

#include "serial/LineConfig.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace brivox {

// A frame seen on the line: bytes that came without an idle gap between them.
struct CLineFrame {
    int64_t startUs = 0;    // arrival of its first byte (steady clock)
    int64_t endUs = 0;      // arrival of its last byte
    int64_t gapUs = -1;     // idle time since the previous frame's last byte; -1 for the first
    bool continued = false; // the rest of a frame cut at the size limit: its gap means nothing
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> marks; // a LineMark a byte, or empty when no read of it had line errors
};

// Groups received bytes into frames: a frame ends when the line stays idle for the gap, when it
// reaches the size limit, or where a framing rule sees one end (MODBUS framing, which also ends a
// frame that its bytes show complete when the next one follows at once). Times are the arrival
// of each read, in microseconds.
class CFrameSplitter {
public:
    static constexpr size_t kMaxFrame = 1024;

    // The length of a whole frame at the start of the bytes, or 0.
    using FrameEnd = std::function<size_t(const std::vector<uint8_t>&)>;

    CFrameSplitter(int64_t gapUs, FrameEnd frameEnd)
        : m_gapUs(gapUs), m_frameEnd(std::move(frameEnd)) {}

    // Bytes of one read (marks: a LineMark a byte, or null); the frames they complete, in order.
    std::vector<CLineFrame> Feed(const uint8_t* bytes, size_t count, int64_t arrivalUs,
                                 const uint8_t* marks = nullptr);
    // The frame in progress once the line has been idle for the gap at the time given.
    std::vector<CLineFrame> Idle(int64_t nowUs);
    // The frame in progress, whatever the time (the monitor ends).
    std::vector<CLineFrame> Flush();

    // When the frame in progress ends unless more bytes come; -1 when none is in progress.
    int64_t IdleDeadlineUs() const;
    // When the frame in progress began; -1 when none is in progress.
    int64_t InProgressStartUs() const { return m_open ? m_current.startUs : -1; }

private:
    void Start(int64_t arrivalUs);
    // When the byte at this index of the frame in progress arrived.
    int64_t ArrivalOf(size_t index) const;
    // Ends the frame in progress after its first length bytes; the rest begins the next one.
    void Finish(std::vector<CLineFrame>& done, size_t length, bool cut);
    void SplitAtFrameEnds(std::vector<CLineFrame>& done);
    void AddMarks(const uint8_t* marks, size_t count);

    const int64_t m_gapUs;
    const FrameEnd m_frameEnd;
    CLineFrame m_current;
    // Where each read's bytes begin in the frame in progress, and when they arrived: a frame that
    // ends inside the bytes held takes the times of its own bytes.
    std::vector<std::pair<size_t, int64_t>> m_reads;
    bool m_open = false;
    bool m_cut = false;       // the last frame ended at the size limit
    int64_t m_lastEndUs = -1; // the last byte of the last frame ended
};

// The idle time that ends a MODBUS RTU frame on this line: 3.5 character times (start bit, data,
// parity, stop bits), fixed at 1750 us above 19200 baud as the standard fixes it.
int64_t ModbusRtuGapUs(const CLineConfig& line);

} // namespace brivox
