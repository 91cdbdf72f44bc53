#include "serial/CaptureLog.h"

#include <cstring>
#include <ctime>

namespace brivox {

namespace {

std::string LocalTime(std::chrono::system_clock::time_point when, const char* format) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

// "2026-12-07 21:30:01.123"
std::string TimeText(std::chrono::system_clock::time_point when) {
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis));
    return LocalTime(when, "%Y-%m-%d %H:%M:%S") + fraction;
}

} // namespace

std::string CCaptureLog::Open(const std::string& path) {
    const std::lock_guard lock(m_mutex);
    if (std::string error = m_file.Open(path); !error.empty())
        return "Cannot write " + error;
    m_path = path;
    return "";
}

void CCaptureLog::SetFailureHook(FailureHook hook) {
    const std::lock_guard lock(m_mutex);
    m_onFailure = std::move(hook);
}

void CCaptureLog::Add(Direction direction, const uint8_t* bytes, const uint8_t* marks, int count,
                      Clock::time_point when) {
    if (count > 0)
        Write(Line(WallTimeOf(when), direction, bytes, marks, count));
}

void CCaptureLog::AddNote(const std::string& text, Clock::time_point when) {
    Write(TimeText(WallTimeOf(when)) + " -- " + text + "\n");
}

std::string CCaptureLog::Error() const {
    const std::lock_guard lock(m_mutex);
    return m_file.Error();
}

// Under the lock so that lines of two threads never interleave and keep their order.
void CCaptureLog::Write(const std::string& line) {
    const std::lock_guard lock(m_mutex);
    if (!m_file.Append(line) && m_file.Failed() && m_onFailure) {
        m_onFailure(m_file.Error());
        m_onFailure = nullptr;
    }
}

std::string CCaptureLog::Line(std::chrono::system_clock::time_point when, Direction direction,
                              const uint8_t* bytes, const uint8_t* marks, int count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line = TimeText(when) + (direction == Direction::Tx ? " TX" : " RX");
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

std::chrono::system_clock::time_point WallTimeOf(std::chrono::steady_clock::time_point moment) {
    return std::chrono::system_clock::now() -
           std::chrono::duration_cast<std::chrono::system_clock::duration>(
               std::chrono::steady_clock::now() - moment);
}

std::string CaptureFileName(const std::string& portName,
                            std::chrono::system_clock::time_point when) {
    return portName + "-" + LocalTime(when, "%Y%m%d-%H%M%S") + ".log";
}

} // namespace brivox
