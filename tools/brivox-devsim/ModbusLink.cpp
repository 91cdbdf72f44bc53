#include "brivox-devsim/ModbusLink.h"

#include "brivox-devsim/ReplyModel.h"
#include "modbus/ModbusChecksum.h"

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
    return 0;
}

bool RtuChecksumHolds(const std::vector<uint8_t>& frame) {
    if (frame.size() < 4)
        return false;
    const CModbusCrc crc = ModbusCrc16(frame.data(), frame.size() - 2);
    return crc.first == frame[frame.size() - 2] && crc.second == frame.back();
}

} // namespace

std::vector<uint8_t> RtuFrameOf(const std::vector<uint8_t>& adu) {
    std::vector<uint8_t> frame = adu;
    const CModbusCrc crc = ModbusCrc16(adu.data(), adu.size());
    frame.push_back(crc.first);
    frame.push_back(crc.second);
    return frame;
}

std::vector<uint8_t> AsciiFrameOf(const std::vector<uint8_t>& adu) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::vector<uint8_t> content = adu;
    content.push_back(ModbusLrc(adu.data(), adu.size()));
    std::vector<uint8_t> frame = {':'};
    for (const uint8_t byte : content) {
        frame.push_back(static_cast<uint8_t>(kDigits[byte >> 4]));
        frame.push_back(static_cast<uint8_t>(kDigits[byte & 0x0F]));
    }
    frame.push_back('\r');
    frame.push_back('\n');
    return frame;
}

bool AduOfAsciiFrame(const std::vector<uint8_t>& frame, std::vector<uint8_t>& adu) {
    if (frame.size() < 5 || frame.front() != ':' || frame[frame.size() - 2] != '\r' ||
        frame.back() != '\n')
        return false;
    const std::string digits(frame.begin() + 1, frame.end() - 2);
    if (digits.find_first_of(" \t") != std::string::npos || !ParseHexBytes(digits, adu).empty() ||
        adu.size() < 3 || ModbusLrc(adu.data(), adu.size() - 1) != adu.back())
        return false;
    adu.pop_back();
    return true;
}

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
    if (!RtuChecksumHolds(frame))
        return {frame, {}};
    return Answer(frame, {frame.begin(), frame.end() - 2});
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
    const uint8_t address = adu[0];
    if (address != m_address && address != 0)
        return {std::move(request), {}};
    std::vector<uint8_t> reply = {m_address};
    const std::vector<uint8_t> pdu = m_slave.Process({adu.begin() + 1, adu.end()});
    if (address == 0 || pdu.empty())
        return {std::move(request), {}};
    reply.insert(reply.end(), pdu.begin(), pdu.end());
    return {std::move(request), Frame(reply)};
}

std::vector<uint8_t> CModbusLink::Frame(const std::vector<uint8_t>& adu) const {
    return m_framing == ModbusFraming::Rtu ? RtuFrameOf(adu) : AsciiFrameOf(adu);
}

} // namespace brivox::devsim
