#include "trace/TraceSocket.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace brivox {

namespace {

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

sockaddr* AsSockaddr(sockaddr_un& address) {
    return reinterpret_cast<sockaddr*>(&address);
}

int DatagramSocket(int flags) {
    return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | flags, 0);
}

// Held while a process binds the path, so that two processes never both take a stale socket
// file over. A process that finds it held gives way: the holder is making a listener.
class CBindLock {
public:
    explicit CBindLock(const std::string& path)
        : m_fd(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        m_held = m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~CBindLock() {
        if (m_fd >= 0)
            close(m_fd); // releases the lock
    }
    CBindLock(const CBindLock&) = delete;
    CBindLock& operator=(const CBindLock&) = delete;

    bool Held() const { return m_held; }

private:
    int m_fd;
    bool m_held = false;
};

bool IsSocketFile(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

} // namespace

bool TraceSocketListening(const std::string& path) {
    sockaddr_un address;
    if (!MakeAddress(path, address))
        return false;
    const int fd = DatagramSocket(SOCK_NONBLOCK);
    if (fd < 0)
        return false;
    const bool listening = connect(fd, AsSockaddr(address), sizeof address) == 0;
    close(fd);
    return listening;
}

void SendTraceDatagram(const std::string& path, const std::string& command) {
    sockaddr_un address;
    if (!MakeAddress(path, address))
        return;
    const int fd = DatagramSocket(0);
    if (fd < 0)
        return;
    const timeval limit{0, 250'000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sendto(fd, command.data(), command.size(), MSG_NOSIGNAL, AsSockaddr(address), sizeof address);
    close(fd);
}

CTraceSocket::~CTraceSocket() {
    Close();
}

std::string CTraceSocket::Bind(const std::string& path) {
    Close();
    sockaddr_un address;
    if (!MakeAddress(path, address))
        return "the trace window's socket path is too long: " + path;
    if (!MakeSurePathExists(FolderOf(path)))
        return "cannot create the folder of " + path;
    const CBindLock lock(path);
    if (!lock.Held())
        return "another trace window is starting at " + path;
    m_path = path;
    std::string error = BindLocked();
    if (!error.empty())
        Close();
    return error;
}

std::string CTraceSocket::BindLocked() {
    sockaddr_un address;
    MakeAddress(m_path, address);
    m_fd = DatagramSocket(SOCK_NONBLOCK);
    if (m_fd < 0)
        return std::string("cannot make a socket: ") + std::strerror(errno);
    if (bind(m_fd, AsSockaddr(address), sizeof address) != 0) {
        if (errno != EADDRINUSE)
            return "cannot listen at " + m_path + ": " + std::strerror(errno);
        if (TraceSocketListening(m_path))
            return "another trace window listens at " + m_path;
        if (!IsSocketFile(m_path))
            return m_path + " is in the way: it is not a socket";
        unlink(m_path.c_str()); // a crashed window's socket file
        if (bind(m_fd, AsSockaddr(address), sizeof address) != 0)
            return "cannot listen at " + m_path + ": " + std::strerror(errno);
    }
    chmod(m_path.c_str(), 0600);
    struct stat info {};
    lstat(m_path.c_str(), &info);
    m_device = info.st_dev;
    m_inode = info.st_ino;
    return "";
}

void CTraceSocket::Close() {
    if (m_fd < 0)
        return;
    // Unlinked before the descriptor closes: while it is open nobody takes the path over, so a
    // file with our identity is still ours.
    struct stat info {};
    if (m_inode != 0 && lstat(m_path.c_str(), &info) == 0 && info.st_dev == m_device &&
        info.st_ino == m_inode)
        unlink(m_path.c_str());
    close(m_fd);
    m_fd = -1;
    m_inode = 0;
}

bool CTraceSocket::Receive(std::string& command) {
    if (m_fd < 0)
        return false;
    const ssize_t size = recv(m_fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (size < 0)
        return false;
    command.resize(std::min(static_cast<size_t>(size), kMaxCommand));
    const ssize_t got = recv(m_fd, command.data(), command.size(), MSG_TRUNC | MSG_DONTWAIT);
    if (got < 0)
        return false;
    command.resize(std::min(static_cast<size_t>(got), command.size()));
    return true;
}

} // namespace brivox
