#pragma once

#include "serial/PortReader.h"

#include <QObject>
#include <cstdint>

namespace brivox {

class CSerialPort;

// The port's object on the UI thread: the reader posts its notices here, and the UI thread's
// event loop hands them to the port in order.
class CPortRelay : public QObject {
public:
    explicit CPortRelay(CSerialPort& port) : m_port(port) {}

    // From any thread.
    void Post(uint64_t readerId, CPortReader::Notice notice);

protected:
    bool event(QEvent* event) override;

private:
    CSerialPort& m_port;
};

} // namespace brivox
