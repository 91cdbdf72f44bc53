#include "serial/SessionPort.h"

namespace brivox {

// Closed here, while the overrides still reach the owner.
CSessionPort::~CSessionPort() {
    Close();
}

void CSessionPort::SendByte(uint8_t byte, bool echo) {
    CByteBuffer bytes;
    bytes.AppendByte(byte);
    m_owner.WriteBytes(bytes);
    if (echo)
        m_owner.PostSentByte(byte);
}

void CSessionPort::OnReceive(const uint8_t* bytes, int count) {
    m_owner.ReceiveBytes(bytes, count);
}

void CSessionPort::OnReceiveMarked(const uint8_t* bytes, const uint8_t* marks, int count) {
    m_owner.ReceiveMarkedBytes(bytes, marks, count);
}

void CSessionPort::OnPortLost() {
    m_owner.PortLost();
}

void CSessionPort::OnPortReopened() {
    m_owner.PortReopened();
}

void CSessionPort::OnConfigFailed() {
    m_owner.ShowPortMessage(kCantConfigMessage);
}

} // namespace brivox
