#include "session/JobLink.h"

#include "platform/PostedMessage.h"
#include "serial/SerialPort.h"

#include <mutex>

namespace brivox {

bool CJobLink::Write(const uint8_t* data, int32_t count) {
    const std::shared_lock lock(m_mutex);
    return m_port != nullptr && m_port->Write(data, static_cast<size_t>(count));
}

bool CJobLink::SetRts(bool raised) {
    const std::shared_lock lock(m_mutex);
    if (m_port != nullptr && !raised)
        m_port->AwaitSent();
    return m_port != nullptr && m_port->SetRTS(raised);
}

void CJobLink::Report(uint8_t byte, ByteReport kind) {
    const std::shared_lock lock(m_mutex);
    PostWindowMessage(m_receiver, kReportMessage, byte, static_cast<intptr_t>(kind));
}

void CJobLink::Detach() {
    const std::unique_lock lock(m_mutex);
    m_port = nullptr;
    m_receiver = nullptr;
}

} // namespace brivox
