#pragma once

namespace brivox::test {

// A loopback peer that never completes a connection: its accept queue (backlog 0) is already
// full, so the kernel drops new connection requests, as a line to an unreachable host does.
// Tests send nothing beyond this machine.
class CUnreachablePeer {
public:
    CUnreachablePeer();
    ~CUnreachablePeer();
    CUnreachablePeer(const CUnreachablePeer&) = delete;
    CUnreachablePeer& operator=(const CUnreachablePeer&) = delete;

    int Port() const { return m_port; }

private:
    int m_listener = -1;
    int m_filler = -1;
    int m_port = 0;
};

} // namespace brivox::test
