#pragma once

#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <vector>

namespace brivox::cli {

// What went over the line, as lines of up to 16 hex bytes per direction ("TX 01 03 00 00 00 0A
// C5 CD"): a line ends when it is full or the direction changes. Any thread may add bytes.
class CTrafficLog {
public:
    static constexpr size_t kBytesPerLine = 16;
    enum class Direction { Tx, Rx };

    explicit CTrafficLog(std::ostream& out) : m_out(out) {}

    void Add(Direction direction, const uint8_t* bytes, size_t count);
    // Prints the line in progress.
    void Flush();

private:
    void PrintLine();

    std::ostream& m_out;
    std::mutex m_mutex;
    Direction m_direction = Direction::Tx;
    std::vector<uint8_t> m_line;
};

} // namespace brivox::cli
