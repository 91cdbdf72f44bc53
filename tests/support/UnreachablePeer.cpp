#include "support/UnreachablePeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brivox::test {

CUnreachablePeer::CUnreachablePeer() {
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listener, 0);
    socklen_t length = sizeof address;
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_filler = socket(AF_INET, SOCK_STREAM, 0);
    connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

CUnreachablePeer::~CUnreachablePeer() {
    close(m_filler);
    close(m_listener);
}

} // namespace brivox::test
