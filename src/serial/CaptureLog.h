#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace brivox {

// Everything a port sends and receives, kept in a text file: a line a burst (one write, one
// received chunk) with the wall-clock time to the millisecond, the direction, the bytes in hex
// and their ASCII ("2026-12-07 21:30:01.123 TX 41 42 0D  |AB.|"); a byte that came with a line
// error carries a "!" after its hex. Lines are appended with one write(2) each, so a crash keeps
// every line written before it whole. Any thread may add bytes.
class CCaptureLog {
public:
    enum class Direction { Tx, Rx };

    CCaptureLog() = default;
    CCaptureLog(const CCaptureLog&) = delete;
    CCaptureLog& operator=(const CCaptureLog&) = delete;
    ~CCaptureLog();

    // Appends to the file, creating it; an error text.
    std::string Open(const std::string& path);
    const std::string& Path() const { return m_path; }

    // marks: a LineMark a byte, or null.
    void Add(Direction direction, const uint8_t* bytes, const uint8_t* marks, int count);

    static std::string Line(std::chrono::system_clock::time_point when, Direction direction,
                            const uint8_t* bytes, const uint8_t* marks, int count);

private:
    std::mutex m_mutex;
    int m_fd = -1;
    std::string m_path;
};

// "COM5-20261207-213001.log": the name a capture of the port started now is offered under.
std::string CaptureFileName(const std::string& portName,
                            std::chrono::system_clock::time_point when);

} // namespace brivox
