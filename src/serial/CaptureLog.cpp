#include "serial/CaptureLog.h"

#include "platform/FileIO.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace brivox {

namespace {

std::string LocalTime(std::chrono::system_clock::time_point when, const char* format) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

} // namespace

CCaptureLog::~CCaptureLog() {
    if (m_fd >= 0)
        close(m_fd);
}

std::string CCaptureLog::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return "Cannot write " + path + ": " + std::strerror(errno);
    const std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
    m_path = path;
    return "";
}

void CCaptureLog::Add(Direction direction, const uint8_t* bytes, const uint8_t* marks, int count) {
    if (count <= 0)
        return;
    const std::string line = Line(std::chrono::system_clock::now(), direction, bytes, marks, count);
    // Under the lock so that lines of two threads never interleave and keep their order.
    const std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        WriteAll(m_fd, line.data(), line.size());
}

std::string CCaptureLog::Line(std::chrono::system_clock::time_point when, Direction direction,
                              const uint8_t* bytes, const uint8_t* marks, int count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis));
    std::string line = LocalTime(when, "%Y-%m-%d %H:%M:%S") + fraction +
                       (direction == Direction::Tx ? " TX" : " RX");
    std::string ascii;
    for (int i = 0; i < count; ++i) {
        line += ' ';
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 15];
        if (marks != nullptr && marks[i] != 0)
            line += '!';
        ascii += bytes[i] >= 32 && bytes[i] < 127 ? static_cast<char>(bytes[i]) : '.';
    }
    return line + "  |" + ascii + "|\n";
}

std::string CaptureFileName(const std::string& portName,
                            std::chrono::system_clock::time_point when) {
    return portName + "-" + LocalTime(when, "%Y%m%d-%H%M%S") + ".log";
}

} // namespace brivox
