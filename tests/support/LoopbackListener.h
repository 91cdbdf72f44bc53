#pragma once

#include <netinet/in.h>

namespace brivox::test {

// 127.0.0.1 at the port (0: any the kernel picks).
sockaddr_in LoopbackAddress(int port);

// A TCP socket listening on 127.0.0.1 at a port the kernel picks, which goes to port; -1 when it
// cannot listen. Tests never listen beyond this machine.
int ListenOnLoopback(int backlog, int& port);

} // namespace brivox::test
