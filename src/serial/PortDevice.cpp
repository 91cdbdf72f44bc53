#include "serial/PortDevice.h"

#include "util/Deadline.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace brivox {

namespace {

constexpr short kGoneEvents = POLLHUP | POLLERR | POLLNVAL;

} // namespace

CPortDevice::CPortDevice() = default;

CPortDevice::~CPortDevice() {
    if (m_fd >= 0)
        close(m_fd);
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

int CPortDevice::Adopt(int fd) {
    m_fd = fd;
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_wakeFd < 0 ? errno : 0;
}

ssize_t CPortDevice::WriteSome(const uint8_t* bytes, size_t count) {
    return write(m_fd, bytes, count);
}

bool CPortDevice::WriteAll(const uint8_t* bytes, size_t count, Clock::time_point deadline) {
    while (count > 0) {
        const ssize_t written = WriteSome(bytes, count);
        if (written > 0) {
            bytes += written;
            count -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return false;
        const int left = MillisecondsLeft(deadline);
        if (left <= 0 || !WaitWritable(left))
            return false;
    }
    return true;
}

bool CPortDevice::WaitWritable(int timeoutMs) {
    // poll() skips an entry whose descriptor is -1.
    pollfd fds[3] = {{m_fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}, {m_cancelFd, POLLIN, 0}};
    int ready;
    do {
        ready = poll(fds, 3, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && fds[1].revents == 0 && fds[2].revents == 0 &&
           (fds[0].revents & kGoneEvents) == 0;
}

CPortDevice::Wait CPortDevice::WaitReadable() {
    return WaitReadableUntil(Clock::time_point::max());
}

CPortDevice::Wait CPortDevice::WaitReadableUntil(Clock::time_point deadline) {
    pollfd fds[3] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {m_cancelFd, POLLIN, 0}};
    for (;;) {
        const int ready = poll(fds, 3, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Wait::Gone;
        if (fds[2].revents != 0)
            return Wait::Cancelled;
        // A deadline that passes counts as a wake-up: the caller stops waiting either way.
        if (ready == 0 || fds[1].revents != 0)
            return Wait::Woken;
        // Bytes that came before a hang-up are still read; the read then reports the end.
        if ((fds[0].revents & POLLIN) != 0)
            return Wait::Readable;
        return Wait::Gone;
    }
}

void CPortDevice::Rearm() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(m_wakeFd, &count, sizeof count);
}

void CPortDevice::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

} // namespace brivox
