#include "serial/TcpConnect.h"

#include "util/Deadline.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace brivox {

namespace {

using Clock = std::chrono::steady_clock;

// A server that vanishes without closing (its host switched off, a cable pulled) is noticed
// after about 20 s of silence, as a pulled adapter would be.
constexpr int kKeepIdleSeconds = 10;
constexpr int kKeepIntervalSeconds = 5;
constexpr int kKeepProbes = 2;

struct CAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

struct CResolved {
    std::vector<CAddress> addresses;
    int code = 0; // getaddrinfo's
};

CResolved Resolve(const std::string& host, uint16_t port, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    CResolved resolved;
    resolved.code = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        CAddress address;
        std::copy_n(reinterpret_cast<const uint8_t*>(entry->ai_addr), entry->ai_addrlen,
                    reinterpret_cast<uint8_t*>(&address.storage));
        address.length = entry->ai_addrlen;
        resolved.addresses.push_back(address);
    }
    if (list != nullptr)
        freeaddrinfo(list);
    return resolved;
}

// A name lookup cannot be cancelled, so it runs on a thread of its own that outlives a caller
// who stops waiting; both hold the lookup's state.
struct CLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    CResolved result;
};

CResolved ResolveName(const std::string& host, uint16_t port, Clock::time_point deadline,
                      bool& timedOut) {
    auto lookup = std::make_shared<CLookup>();
    try {
        std::thread([lookup, host, port] {
            CResolved result = Resolve(host, port, 0);
            std::lock_guard lock(lookup->mutex);
            lookup->result = std::move(result);
            lookup->done = true;
            lookup->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return {{}, EAI_AGAIN};
    }
    std::unique_lock lock(lookup->mutex);
    timedOut = !lookup->finished.wait_until(lock, deadline, [&] { return lookup->done; });
    return timedOut ? CResolved{} : lookup->result;
}

CPortFailure LookupFailure(int code) {
    if (code == EAI_SYSTEM)
        return {PortErrorOf(errno), errno, ""};
    return {PortError::UnknownHost, 0, code == EAI_NONAME ? "" : gai_strerror(code)};
}

void SetOptions(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleSeconds, sizeof kKeepIdleSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalSeconds, sizeof kKeepIntervalSeconds);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepProbes, sizeof kKeepProbes);
}

// 0 once connected, else the system's error number (ETIMEDOUT at the deadline, ECANCELED once
// the cancel descriptor is readable).
int AwaitConnected(int fd, Clock::time_point deadline, int cancelFd) {
    pollfd fds[2] = {{fd, POLLOUT, 0}, {cancelFd, POLLIN, 0}};
    int ready;
    do {
        ready = poll(fds, 2, MillisecondsLeft(deadline));
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return ETIMEDOUT;
    if (ready < 0)
        return errno;
    if (fds[1].revents != 0)
        return ECANCELED;
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 ? error : errno;
}

CTcpConnection ConnectTo(const CAddress& address, Clock::time_point deadline, int cancelFd) {
    const auto* socketAddress = reinterpret_cast<const sockaddr*>(&address.storage);
    const int fd = socket(socketAddress->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {-1, {PortErrorOf(errno), errno, ""}};
    int error = connect(fd, socketAddress, address.length) == 0 ? 0 : errno;
    if (error == EINPROGRESS)
        error = AwaitConnected(fd, deadline, cancelFd);
    if (error != 0) {
        close(fd);
        return {-1, {PortErrorOf(error), error, ""}};
    }
    SetOptions(fd);
    return {fd, {}};
}

} // namespace

CTcpConnection ConnectTcp(const std::string& host, uint16_t port, Clock::time_point deadline,
                          int cancelFd) {
    // An address in digits needs no lookup, and a name one that may take long.
    CResolved resolved = Resolve(host, port, AI_NUMERICHOST);
    if (resolved.code == EAI_NONAME) {
        bool timedOut = false;
        resolved = ResolveName(host, port, deadline, timedOut);
        if (timedOut)
            return {-1, {PortError::TimedOut, 0, "looking up " + host}};
    }
    if (resolved.code != 0)
        return {-1, LookupFailure(resolved.code)};
    CTcpConnection connection{-1, {PortError::UnknownHost, 0, ""}};
    for (const CAddress& address : resolved.addresses) {
        connection = ConnectTo(address, deadline, cancelFd);
        if (connection.fd >= 0 || connection.failure.error == PortError::TimedOut ||
            connection.failure.error == PortError::Interrupted)
            break;
    }
    return connection;
}

} // namespace brivox
