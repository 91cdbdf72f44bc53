#include "support/HttpTestServer.h"

#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace brivox::test {

class CHttpTestServer::CReply : public CHttpTestReply {
public:
    CReply(CHttpTestServer& server, int connection) : m_server(server), m_connection(connection) {}

    bool Send(std::string_view bytes) override {
        while (!bytes.empty()) {
            if (m_server.m_stopping)
                return false;
            const ssize_t sent = ::send(m_connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0)
                return false;
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
        return true;
    }

    bool Pause(int milliseconds) override {
        std::unique_lock lock(m_server.m_mutex);
        return !m_server.m_stopped.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                            [this] { return m_server.m_stopping.load(); });
    }

private:
    CHttpTestServer& m_server;
    int m_connection;
};

CHttpTestServer::CHttpTestServer() : m_handler(Body("")) {
    m_listener = ListenOnLoopback(8, m_port);
    if (m_listener < 0 || ::pipe2(m_wakePipe, O_CLOEXEC) != 0)
        throw std::runtime_error("the test HTTP server cannot listen");
    m_thread = std::thread([this] { Serve(); });
}

CHttpTestServer::~CHttpTestServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    const char byte = 0;
    [[maybe_unused]] ssize_t ignored = ::write(m_wakePipe[1], &byte, 1);
    m_thread.join();
    ::close(m_listener);
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
}

void CHttpTestServer::SetHandler(Handler handler) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

std::string CHttpTestServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> CHttpTestServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string CHttpTestServer::Head(int code, const std::string& extraHeaders) {
    const char* reason = code == 200   ? "OK"
                         : code == 302 ? "Found"
                         : code == 404 ? "Not Found"
                                       : "Status";
    return "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\nConnection: close\r\n" +
           extraHeaders + "\r\n";
}

CHttpTestServer::Handler CHttpTestServer::Body(std::string body) {
    return [body = std::move(body)](const std::string&, CHttpTestReply& reply) {
        reply.Send(Head() + body);
    };
}

int CHttpTestServer::UnusedPort() {
    int port = 0;
    const int probe = ListenOnLoopback(1, port);
    if (probe >= 0)
        ::close(probe);
    return port;
}

void CHttpTestServer::Serve() {
    while (!m_stopping) {
        pollfd waits[2] = {{m_listener, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 && errno != EINTR)
            return;
        if (waits[1].revents != 0)
            return;
        if ((waits[0].revents & POLLIN) == 0)
            continue;
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        Answer(connection);
        ::shutdown(connection, SHUT_RDWR);
        ::close(connection);
    }
}

void CHttpTestServer::Answer(int connection) {
    std::string head;
    char chunk[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd waits[2] = {{connection, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(waits, 2, 5000) <= 0 || waits[1].revents != 0)
            return;
        const ssize_t got = ::recv(connection, chunk, sizeof chunk, 0);
        if (got <= 0)
            return;
        head.append(chunk, static_cast<size_t>(got));
    }
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(head);
        handler = m_handler;
    }
    CReply reply(*this, connection);
    handler(head, reply);
}

} // namespace brivox::test
