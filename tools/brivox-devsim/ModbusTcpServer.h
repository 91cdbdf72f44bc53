#pragma once

#include "brivox-devsim/ModbusLink.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace brivox::devsim {

// A MODBUS TCP server on 127.0.0.1 answering from a slave's tables: each MBAP frame answered
// with its own transaction id and unit id, several connections at once. A request for a unit id
// the slave does not answer for gets no reply, as on a serial bus.
class CModbusTcpServer {
public:
    CModbusTcpServer(CModbusLink& slave, std::ostream& log, bool verbose)
        : m_slave(slave), m_log(log), m_verbose(verbose) {}
    CModbusTcpServer(const CModbusTcpServer&) = delete;
    CModbusTcpServer& operator=(const CModbusTcpServer&) = delete;
    ~CModbusTcpServer();

    // Listens on 127.0.0.1:port (0: a free port the system picks).
    std::string Listen(int port);
    int Port() const { return m_port; }
    // Answers until stopFd becomes readable or the seconds (0: no limit) pass.
    std::string Serve(int seconds, int stopFd);

private:
    struct CConnection {
        int fd = -1;
        std::vector<uint8_t> pending;
    };

    void Accept();
    // False when the connection ended or broke.
    bool ReadFrom(CConnection& connection);
    // False when the stream holds no MBAP header where one must begin.
    bool AnswerFrames(CConnection& connection);

    CModbusLink& m_slave;
    std::ostream& m_log;
    const bool m_verbose;
    int m_listener = -1;
    int m_port = 0;
    std::vector<CConnection> m_connections;
};

} // namespace brivox::devsim
