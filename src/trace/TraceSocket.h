#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace brivox {

// A trace window is found by its datagram socket; one datagram is one command text.

// True when a socket at the path takes datagrams, false for a missing path or a stale socket
// file that a crashed process left.
bool TraceSocketListening(const std::string& path);

// Sends one command. A window that does not take it within a quarter of a second (its queue
// full) or a command larger than the socket allows loses it.
void SendTraceDatagram(const std::string& path, const std::string& command);

// The receiving end: only the first process binds the path; a stale socket file is taken over.
class CTraceSocket {
public:
    // Longer commands are cut to this.
    static constexpr size_t kMaxCommand = size_t{4} << 20;

    CTraceSocket() = default;
    ~CTraceSocket();
    CTraceSocket(const CTraceSocket&) = delete;
    CTraceSocket& operator=(const CTraceSocket&) = delete;

    // Error text, empty when this process now listens at the path.
    std::string Bind(const std::string& path);
    // Removes the socket file while it is still ours, and stops listening.
    void Close();

    int Descriptor() const { return m_fd; }
    // The next pending command; false when none is waiting.
    bool Receive(std::string& command);

private:
    std::string BindLocked();

    std::string m_path;
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

} // namespace brivox
