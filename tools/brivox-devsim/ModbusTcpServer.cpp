#include "brivox-devsim/ModbusTcpServer.h"

#include "util/Text.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <ostream>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brivox::devsim {

namespace {

constexpr size_t kHeader = 7; // transaction, protocol, length, unit id
constexpr size_t kMostLength = 254;
constexpr size_t kMostConnections = 16;

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t byte : bytes)
        text += (text.empty() ? "" : " ") + FormatNumber(byte, 16, 2);
    return text;
}

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

CModbusTcpServer::~CModbusTcpServer() {
    for (const CConnection& connection : m_connections)
        close(connection.fd);
    if (m_listener >= 0)
        close(m_listener);
}

std::string CModbusTcpServer::Listen(int port) {
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        return std::string("socket: ") + std::strerror(errno);
    const int on = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof address;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 4) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return "127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    m_port = ntohs(address.sin_port);
    return "";
}

std::string CModbusTcpServer::Serve(int seconds, int stopFd) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end =
        seconds > 0 ? Clock::now() + std::chrono::seconds(seconds) : Clock::time_point::max();
    for (;;) {
        std::vector<pollfd> fds = {{stopFd, POLLIN, 0}, {m_listener, POLLIN, 0}};
        for (const CConnection& connection : m_connections)
            fds.push_back({connection.fd, POLLIN, 0});
        const int timeout =
            end == Clock::time_point::max()
                ? -1
                : static_cast<int>(std::max<long long>(
                      0, std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count()));
        const int ready = poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR)
            return std::string("poll: ") + std::strerror(errno);
        if (fds[0].revents != 0 || Clock::now() >= end)
            return "";
        if (ready <= 0)
            continue;
        for (size_t i = m_connections.size(); i-- > 0;)
            if (fds[2 + i].revents != 0 && !ReadFrom(m_connections[i])) {
                close(m_connections[i].fd);
                m_connections.erase(m_connections.begin() + static_cast<long>(i));
            }
        if (fds[1].revents != 0)
            Accept();
    }
}

void CModbusTcpServer::Accept() {
    const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (m_connections.size() >= kMostConnections) {
        close(fd);
        return;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_connections.push_back({fd, {}});
}

bool CModbusTcpServer::ReadFrom(CConnection& connection) {
    uint8_t buffer[4096];
    const ssize_t n = read(connection.fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (n <= 0)
        return false;
    connection.pending.insert(connection.pending.end(), buffer, buffer + n);
    return AnswerFrames(connection);
}

bool CModbusTcpServer::AnswerFrames(CConnection& connection) {
    std::vector<uint8_t>& pending = connection.pending;
    while (pending.size() >= kHeader) {
        const size_t length = static_cast<size_t>(pending[4] << 8 | pending[5]);
        // A header that is no MBAP cannot be resynchronised on a stream: the client reconnects.
        if (pending[2] != 0 || pending[3] != 0 || length < 2 || length > kMostLength)
            return false;
        const auto end = pending.begin() + 6 + static_cast<long>(length);
        if (pending.size() < 6 + length)
            return true;
        const std::vector<uint8_t> header(pending.begin(), pending.begin() + 4);
        const std::vector<uint8_t> adu(pending.begin() + 6, end);
        pending.erase(pending.begin(), end);
        const std::vector<uint8_t> reply = m_slave.ReplyTo(adu);
        if (m_verbose)
            m_log << "request " << Hex(adu) << "\n"
                  << (reply.empty() ? "" : "reply " + Hex(reply) + "\n") << std::flush;
        if (reply.empty())
            continue;
        std::vector<uint8_t> frame = header;
        frame.push_back(static_cast<uint8_t>(reply.size() >> 8));
        frame.push_back(static_cast<uint8_t>(reply.size()));
        frame.insert(frame.end(), reply.begin(), reply.end());
        if (!SendAll(connection.fd, frame))
            return false;
    }
    return true;
}

} // namespace brivox::devsim
