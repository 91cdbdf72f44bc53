#include "serial/TtyDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
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
