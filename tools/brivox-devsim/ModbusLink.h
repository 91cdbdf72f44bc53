#pragma once

#include "brivox-devsim/DeviceModel.h"
#include "brivox-devsim/ModbusSlave.h"

#include <string>

namespace brivox::devsim {

enum class ModbusFraming { Rtu, Ascii };

// A MODBUS slave on the line: finds request frames in the bytes received, answers those for its
// address, acts on broadcasts (address 0) without answering, and ignores frames for another
// address or with a bad CRC or LRC.
class CModbusLink : public CDeviceModel {
public:
    // An RTU frame whose length the function does not tell ends after this pause.
    static constexpr int kRtuPauseMs = 300;
    // An ASCII frame not finished within this pause is dropped.
    static constexpr int kAsciiPauseMs = 1000;
    static constexpr size_t kAsciiFrameLimit = 513;

    CModbusLink(ModbusFraming framing, uint8_t address)
        : m_framing(framing), m_addresses{address} {}

    // Answers for this address too, from the same tables (several devices on one bus).
    void AlsoAnswerFor(uint8_t address) { m_addresses.push_back(address); }
    // The reply ADU to a request ADU (address and PDU) checked already; empty when the request is
    // for another address or a broadcast.
    std::vector<uint8_t> ReplyTo(const std::vector<uint8_t>& adu);

    std::vector<CExchange> Receive(const uint8_t* bytes, size_t count) override;
    int QuietMs() const override;
    std::vector<CExchange> Quiet() override;

    CModbusSlave& Slave() { return m_slave; }

private:
    void ReceiveRtu(std::vector<CExchange>& exchanges);
    void ReceiveAscii(uint8_t byte, std::vector<CExchange>& exchanges);
    // request: the frame as it came; adu: address and PDU, already checked.
    CExchange Answer(std::vector<uint8_t> request, const std::vector<uint8_t>& adu);
    std::vector<uint8_t> Frame(const std::vector<uint8_t>& adu) const;
    CExchange RtuFrame(size_t length);
    CExchange AsciiFrame();

    const ModbusFraming m_framing;
    std::vector<uint8_t> m_addresses;
    CModbusSlave m_slave;
    std::vector<uint8_t> m_pending;
};

} // namespace brivox::devsim
