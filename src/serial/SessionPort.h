#pragma once

#include "serial/SerialPort.h"
#include "serial/SessionPortOwner.h"

namespace brivox {

// The port a session form embeds: routes what the port reports to its owner.
class CSessionPort : public CSerialPort {
public:
    explicit CSessionPort(CSessionPortOwner& owner) : m_owner(owner) {}
    ~CSessionPort() override;

    // One byte through the owner's paced write; with echo the byte is then shown as sent.
    void SendByte(uint8_t byte, bool echo);

protected:
    void OnReceive(const uint8_t* bytes, int count) override;
    void OnReceiveMarked(const uint8_t* bytes, const uint8_t* marks, int count) override;
    void OnPortLost() override;
    void OnPortReopened() override;
    void OnModemLinesChanged(const CModemLines& lines, CPortReader::Clock::time_point) override {
        m_owner.ModemLinesChanged(lines);
    }
    void OnConfigFailed() override;

private:
    CSessionPortOwner& m_owner;
};

} // namespace brivox
