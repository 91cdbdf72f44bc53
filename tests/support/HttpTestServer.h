#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace brivox::test {

// What a handler of the test server does with one connection: send bytes, pause.
class CHttpTestReply {
public:
    virtual ~CHttpTestReply() = default;
    // False once the client has gone or the server is stopping.
    virtual bool Send(std::string_view bytes) = 0;
    // Waits, and returns early (false) when the server is stopping.
    virtual bool Pause(int milliseconds) = 0;
};

// A small HTTP server on 127.0.0.1 at an ephemeral port, for tests of web fetches. It takes one
// connection at a time, reads the request head, lets the handler answer, then closes the
// connection. The default handler answers 200 with an empty body.
class CHttpTestServer {
public:
    using Handler = std::function<void(const std::string& requestHead, CHttpTestReply& reply)>;

    CHttpTestServer();
    ~CHttpTestServer(); // stops: a pausing handler returns at once
    CHttpTestServer(const CHttpTestServer&) = delete;
    CHttpTestServer& operator=(const CHttpTestServer&) = delete;

    void SetHandler(Handler handler);
    int Port() const { return m_port; }
    std::string Url(const std::string& path = "/") const;
    std::vector<std::string> Requests() const; // request heads in order of arrival

    // "HTTP/1.1 <code> <reason>", "Connection: close", the extra header lines, the blank line.
    static std::string Head(int code = 200, const std::string& extraHeaders = "");
    // A handler that sends the head of a 200 answer and then this body, then closes.
    static Handler Body(std::string body);

    // A port on 127.0.0.1 that nothing listens on (bound once, then released).
    static int UnusedPort();

private:
    class CReply;
    void Serve();
    void Answer(int connection);

    int m_listener = -1;
    int m_wakePipe[2] = {-1, -1};
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    Handler m_handler;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace brivox::test
