#include "support/UnreachablePeer.h"

#include "support/LoopbackListener.h"

#include <sys/socket.h>
#include <unistd.h>

namespace brivox::test {

CUnreachablePeer::CUnreachablePeer() {
    m_listener = ListenOnLoopback(0, m_port);
    sockaddr_in address = LoopbackAddress(m_port);
    m_filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

CUnreachablePeer::~CUnreachablePeer() {
    close(m_filler);
    close(m_listener);
}

} // namespace brivox::test
