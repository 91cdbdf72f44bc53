#pragma once

#include "platform/AppendFile.h"
#include "serial/CaptureSink.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace brivox {

// Everything a port sends and receives, kept in a text file: a line a burst (one write, one
// received chunk) with the wall-clock time to the millisecond, the direction, the bytes in hex
// and their ASCII ("2026-12-07 21:30:01.123 TX 41 42 0D  |AB.|"); a byte that came with a line
// error carries a "!" after its hex. Events of the port are lines of their own
// ("2026-12-07 21:30:05.000 -- device lost: ..."). Lines are appended with one write(2) each, so
// a crash keeps every line written before it whole. A write that fails ends the log (see
// CAppendFile) and calls the failure hook once.
class CCaptureLog : public CCaptureSink {
public:
    CCaptureLog() = default;
    CCaptureLog(const CCaptureLog&) = delete;
    CCaptureLog& operator=(const CCaptureLog&) = delete;

    // Appends to the file, creating it; an error text.
    std::string Open(const std::string& path);
    const std::string& Path() const override { return m_path; }
    void SetFailureHook(FailureHook hook) override;

    void Add(Direction direction, const uint8_t* bytes, const uint8_t* marks, int count,
             Clock::time_point when) override;
    void AddNote(const std::string& text, Clock::time_point when) override;
    std::string Error() const override;

    static std::string Line(std::chrono::system_clock::time_point when, Direction direction,
                            const uint8_t* bytes, const uint8_t* marks, int count);

private:
    void Write(const std::string& line);

    mutable std::mutex m_mutex;
    CAppendFile m_file;
    std::string m_path;
    FailureHook m_onFailure;
};

// The wall time of a moment on the steady clock, which a port's arrival times are taken on.
std::chrono::system_clock::time_point WallTimeOf(std::chrono::steady_clock::time_point moment);

// "COM5-20261207-213001.log": the name a capture of the port started now is offered under.
std::string CaptureFileName(const std::string& portName,
                            std::chrono::system_clock::time_point when);

} // namespace brivox
