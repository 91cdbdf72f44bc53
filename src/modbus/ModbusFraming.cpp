#include "modbus/ModbusFraming.h"

#include "modbus/ModbusFrame.h"

#include <algorithm>
#include <utility>

namespace brivox {

namespace {

class CSerialFraming : public CModbusFraming {
public:
    explicit CSerialFraming(bool ascii) : m_ascii(ascii) {}

    std::vector<uint8_t> Frame(const std::vector<uint8_t>& adu) override {
        m_request = m_ascii ? AsciiFrameOf(adu) : RtuFrameOf(adu);
        return m_request;
    }

    CModbusReplyCheck Check(std::vector<uint8_t>& received, std::vector<uint8_t>& adu) override {
        CModbusReplyCheck check = CheckModbusReply(m_request, received, m_ascii);
        const bool answered =
            check.verdict == ModbusVerdict::Ok || check.verdict == ModbusVerdict::Exception;
        if (answered)
            m_ascii ? AduOfAsciiFrame(received, adu) : AduOfRtuFrame(received, adu);
        return check;
    }

private:
    const bool m_ascii;
    std::vector<uint8_t> m_request;
};

// MBAP: transaction id, protocol id 0, the length of what follows, then the unit id and PDU.
class CTcpFraming : public CModbusFraming {
public:
    std::vector<uint8_t> Frame(const std::vector<uint8_t>& adu) override {
        ++m_transaction;
        m_request = RtuFrameOf(adu);
        std::vector<uint8_t> frame(kHeader + adu.size());
        frame[0] = static_cast<uint8_t>(m_transaction >> 8);
        frame[1] = static_cast<uint8_t>(m_transaction);
        frame[4] = static_cast<uint8_t>(adu.size() >> 8);
        frame[5] = static_cast<uint8_t>(adu.size());
        std::copy(adu.begin(), adu.end(), frame.begin() + kHeader);
        return frame;
    }

    CModbusReplyCheck Check(std::vector<uint8_t>& received, std::vector<uint8_t>& adu) override {
        for (;;) {
            if (received.size() < kHeader)
                return {};
            const size_t length = static_cast<size_t>(received[4] << 8 | received[5]);
            if (received[2] != 0 || received[3] != 0 || length < 2 || length > kMaxLength)
                return {ModbusVerdict::Mismatch, "no MBAP header (protocol id or length)", {}};
            if (received.size() < kHeader + length)
                return {};
            const uint16_t transaction = static_cast<uint16_t>(received[0] << 8 | received[1]);
            const std::vector<uint8_t> replyAdu(received.begin() + kHeader,
                                                received.begin() + kHeader + length);
            if (transaction != m_transaction) {
                received.erase(received.begin(), received.begin() + kHeader + length);
                ++m_stale;
                continue;
            }
            // The same checks as a serial reply's, on the ADU in an RTU frame of its own.
            std::vector<uint8_t> asSerial = RtuFrameOf(replyAdu);
            asSerial.insert(asSerial.end(), received.begin() + kHeader + length, received.end());
            CModbusReplyCheck check = CheckModbusReply(m_request, asSerial, false);
            if (check.verdict == ModbusVerdict::Ok || check.verdict == ModbusVerdict::Exception)
                adu = replyAdu;
            return check;
        }
    }

    int TakeStaleFrames() override { return std::exchange(m_stale, 0); }
    bool IsStream() const override { return true; }

private:
    static constexpr size_t kHeader = 6;
    static constexpr size_t kMaxLength = 254; // unit id and the largest PDU

    uint16_t m_transaction = 0;
    std::vector<uint8_t> m_request; // in RTU framing, for the shared checks
    int m_stale = 0;
};

} // namespace

std::unique_ptr<CModbusFraming> MakeModbusFraming(ModbusTransport transport) {
    if (transport == ModbusTransport::Tcp)
        return std::make_unique<CTcpFraming>();
    return std::make_unique<CSerialFraming>(transport == ModbusTransport::Ascii);
}

} // namespace brivox
