#include "brivox-devsim/ModbusLink.h"

#include "brivox-devsim/ReplyModel.h"
#include "modbus/ModbusFrame.h"

#include <algorithm>

namespace brivox::devsim {

namespace {

// The length of the RTU request frame at the start of the bytes, or 0 while it cannot be told.
size_t RtuRequestLength(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 2)
        return 0;
    const uint8_t function = bytes[1];
    if (function >= 0x01 && function <= 0x06)
        return 8;
    if ((function == 0x0F || function == 0x10) && bytes.size() >= 7)
        return 9 + bytes[6];
    if (function == 0x07 || function == 0x11)
        return 4;
    if (function == 0x16)
        return 10;
    if (function == 0x17 && bytes.size() >= 11)
        return 13 + bytes[10];
    if (function == 0x2B)
        return 7;
    if (function == 0x08)
        return RtuFrameEndByCrc(bytes, 6); // an echo carries any data
    return 0;
}

} // namespace

std::vector<CExchange> CModbusLink::Receive(const uint8_t* bytes, size_t count) {
    std::vector<CExchange> exchanges;
    if (m_framing == ModbusFraming::Rtu) {
        m_pending.insert(m_pending.end(), bytes, bytes + count);
        ReceiveRtu(exchanges);
        return exchanges;
    }
    for (size_t i = 0; i < count; ++i)
        ReceiveAscii(bytes[i], exchanges);
    return exchanges;
}

void CModbusLink::ReceiveRtu(std::vector<CExchange>& exchanges) {
    for (size_t length = RtuRequestLength(m_pending); length != 0 && m_pending.size() >= length;
         length = RtuRequestLength(m_pending))
        exchanges.push_back(RtuFrame(length));
}

void CModbusLink::ReceiveAscii(uint8_t byte, std::vector<CExchange>& exchanges) {
    if (byte == ':')
        m_pending.clear();
    else if (m_pending.empty())
        return; // noise between frames
    m_pending.push_back(byte);
    if (byte == '\n' && m_pending.size() >= 2 && m_pending[m_pending.size() - 2] == '\r')
        exchanges.push_back(AsciiFrame());
    else if (m_pending.size() > kAsciiFrameLimit)
        m_pending.clear();
}

int CModbusLink::QuietMs() const {
    if (m_pending.empty())
        return -1;
    return m_framing == ModbusFraming::Rtu ? kRtuPauseMs : kAsciiPauseMs;
}

std::vector<CExchange> CModbusLink::Quiet() {
    if (m_framing == ModbusFraming::Ascii || m_pending.empty()) {
        m_pending.clear();
        return {};
    }
    return {RtuFrame(m_pending.size())};
}

CExchange CModbusLink::RtuFrame(size_t length) {
    std::vector<uint8_t> frame(m_pending.begin(), m_pending.begin() + static_cast<long>(length));
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(length));
    std::vector<uint8_t> adu;
    if (!AduOfRtuFrame(frame, adu))
        return {frame, {}};
    return Answer(frame, adu);
}

CExchange CModbusLink::AsciiFrame() {
    std::vector<uint8_t> frame;
    frame.swap(m_pending);
    std::vector<uint8_t> adu;
    if (!AduOfAsciiFrame(frame, adu))
        return {frame, {}};
    return Answer(frame, adu);
}

CExchange CModbusLink::Answer(std::vector<uint8_t> request, const std::vector<uint8_t>& adu) {
    const std::vector<uint8_t> reply = ReplyTo(adu);
    return {std::move(request), reply.empty() ? reply : Frame(reply)};
}

std::vector<uint8_t> CModbusLink::ReplyTo(const std::vector<uint8_t>& adu) {
    const uint8_t address = adu[0];
    if (address != 0 &&
        std::find(m_addresses.begin(), m_addresses.end(), address) == m_addresses.end())
        return {};
    const std::vector<uint8_t> pdu = m_slave.Process({adu.begin() + 1, adu.end()});
    if (address == 0 || pdu.empty())
        return {};
    std::vector<uint8_t> reply = {address};
    reply.insert(reply.end(), pdu.begin(), pdu.end());
    return reply;
}

std::vector<uint8_t> CModbusLink::Frame(const std::vector<uint8_t>& adu) const {
    return m_framing == ModbusFraming::Rtu ? RtuFrameOf(adu) : AsciiFrameOf(adu);
}

} // namespace brivox::devsim
