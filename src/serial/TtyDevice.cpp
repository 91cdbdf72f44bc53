#include "serial/TtyDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace brivox {

int CTtyDevice::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    if (const int error = Adopt(fd); error != 0)
        return error;
    if (!isatty(fd))
        return ENOTTY;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0)
        return errno;
    return 0;
}

std::string CTtyDevice::Configure(const CLineConfig& line) {
    uint32_t running = line.baud;
    std::string error = ApplyLine(Descriptor(), line, &running);
    m_note = error.empty() ? RateDeviation(line.baud, running) : "";
    return error;
}

bool CTtyDevice::SetBreak(bool on) {
    return ioctl(Descriptor(), on ? TIOCSBRK : TIOCCBRK) == 0;
}

bool CTtyDevice::SetHangUpOnClose(bool on) {
    return SetHangUpOnLastClose(Descriptor(), on).empty();
}

// Sleeps for as long as the queued bytes take, again until none are queued: no busy wait.
void CTtyDevice::AwaitSent(std::chrono::nanoseconds characterTime) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteLimitMs);
    int queued = 0;
    while (ioctl(Descriptor(), TIOCOUTQ, &queued) == 0 && queued > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(characterTime * queued);
    std::this_thread::sleep_for(characterTime);
}

bool CTtyDevice::SetModemLine(int line, bool on) {
    return ioctl(Descriptor(), on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool CTtyDevice::Flush() {
    return tcflush(Descriptor(), TCIOFLUSH) == 0;
}

bool CTtyDevice::Write(const uint8_t* bytes, size_t count) {
    return WriteAll(bytes, count, Clock::now() + std::chrono::milliseconds(kWriteLimitMs));
}

int CTtyDevice::Read(uint8_t* buffer, size_t capacity) {
    const ssize_t count = read(Descriptor(), buffer, capacity);
    if (count > 0)
        return static_cast<int>(count);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    return -1;
}

} // namespace brivox
