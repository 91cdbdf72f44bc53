#include "serial/SerialDevice.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace brivox {

namespace {

constexpr short kGoneEvents = POLLHUP | POLLERR | POLLNVAL;

} // namespace

CSerialDevice::~CSerialDevice() {
    if (m_fd >= 0)
        close(m_fd);
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

int CSerialDevice::Open(const std::string& path) {
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0)
        return errno;
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return errno;
    if (!isatty(m_fd))
        return ENOTTY;
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0 || ioctl(m_fd, TIOCEXCL) != 0)
        return errno;
    return 0;
}

bool CSerialDevice::SetModemLine(int line, bool on) {
    return ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool CSerialDevice::Flush() {
    return tcflush(m_fd, TCIOFLUSH) == 0;
}

bool CSerialDevice::Write(const uint8_t* bytes, size_t count) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteLimitMs);
    while (count > 0) {
        const ssize_t written = write(m_fd, bytes, count);
        if (written > 0) {
            bytes += written;
            count -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !WaitWritable(static_cast<int>(left.count())))
            return false;
    }
    return true;
}

bool CSerialDevice::WaitWritable(int timeoutMs) {
    pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
    int ready;
    do {
        ready = poll(fds, 2, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && fds[1].revents == 0 && (fds[0].revents & kGoneEvents) == 0;
}

CSerialDevice::Wait CSerialDevice::WaitReadable() {
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return Wait::Gone;
        }
        if (fds[1].revents != 0)
            return Wait::Woken;
        // Bytes that came before a hang-up are still read; the read then reports the end.
        if ((fds[0].revents & POLLIN) != 0)
            return Wait::Readable;
        return Wait::Gone;
    }
}

int CSerialDevice::Read(uint8_t* buffer, size_t capacity) {
    const ssize_t count = read(m_fd, buffer, capacity);
    if (count > 0)
        return static_cast<int>(count);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    return -1;
}

void CSerialDevice::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

} // namespace brivox
