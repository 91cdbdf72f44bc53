#pragma once

#include "serial/PortError.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace brivox {

struct CTcpConnection {
    int fd = -1; // non-blocking, with TCP_NODELAY and keep-alive probes
    CPortFailure failure;
};

// Resolves the host and connects to the first of its addresses that accepts, all before the
// deadline. A name lookup that has not ended by then is left to end on its own thread. The wait
// for the connection also ends, as Interrupted, once cancelFd (when not -1) turns readable.
CTcpConnection ConnectTcp(const std::string& host, uint16_t port,
                          std::chrono::steady_clock::time_point deadline, int cancelFd = -1);

} // namespace brivox
