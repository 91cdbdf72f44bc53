#include "serial/Rfc2217Client.h"

#include <algorithm>
#include <cstring>
#include <libtelnet.h>

namespace brivox {

namespace {

// Client-to-server commands of COM-PORT-OPTION; the server answers each with it plus 100.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kPurgeData = 12;
constexpr uint8_t kServerAnswer = 100;
constexpr uint8_t kPurgeBoth = 3;

constexpr unsigned Bit(uint8_t command) {
    return 1u << command;
}

constexpr unsigned kLineCommands =
    Bit(kSetBaudRate) | Bit(kSetDataSize) | Bit(kSetParity) | Bit(kSetStopSize) | Bit(kSetControl);

// RFC 2217's parity codes, from 1: none, odd, even, mark, space.
constexpr char kParities[] = "NOEMS";

uint8_t ParityCode(char parity) {
    const char* at = std::strchr(kParities, parity);
    return at == nullptr || parity == 0 ? 1 : static_cast<uint8_t>(at - kParities + 1);
}

char ParityOf(uint8_t code) {
    return code >= 1 && code <= 5 ? kParities[code - 1] : 'N';
}

// Stop sizes: 1 one, 2 two, 3 one and a half.
uint8_t StopSizeCode(StopBits stop) {
    return stop == StopBits::Two ? 2 : stop == StopBits::OneAndHalf ? 3 : 1;
}

StopBits StopBitsOf(uint8_t code) {
    return code == 2 ? StopBits::Two : code == 3 ? StopBits::OneAndHalf : StopBits::One;
}

// SET-CONTROL's flow-control values: 1 none, 2 XON/XOFF, 3 hardware.
uint8_t FlowCode(FlowControl flow) {
    return flow == FlowControl::XonXoff ? 2 : flow == FlowControl::RtsCts ? 3 : 1;
}

const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {CRfc2217Client::kComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

} // namespace

CRfc2217Client::CRfc2217Client() : m_telnet(telnet_init(kOptions, &OnEvent, 0, this)) {
    m_broken = m_telnet == nullptr;
}

CRfc2217Client::~CRfc2217Client() {
    if (m_telnet != nullptr)
        telnet_free(m_telnet);
}

void CRfc2217Client::Start() {
    if (m_broken)
        return;
    telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_WILL, kComPortOption);
}

size_t CRfc2217Client::Receive(const uint8_t* bytes, size_t count, uint8_t* data, size_t capacity) {
    if (m_broken)
        return 0;
    m_filtered.clear();
    m_filter.Pass(bytes, count, m_filtered);
    m_data = data;
    m_dataLength = 0;
    m_dataCapacity = capacity;
    telnet_recv(m_telnet, m_filtered.data(), m_filtered.size());
    m_data = nullptr;
    return m_dataLength;
}

void CRfc2217Client::SendData(const uint8_t* bytes, size_t count) {
    if (!m_broken)
        telnet_send(m_telnet, reinterpret_cast<const char*>(bytes), count);
}

void CRfc2217Client::SendLine(const CLineConfig& line) {
    m_answered &= ~kLineCommands;
    SendComPort({kSetBaudRate, static_cast<uint8_t>(line.baud >> 24),
                 static_cast<uint8_t>(line.baud >> 16), static_cast<uint8_t>(line.baud >> 8),
                 static_cast<uint8_t>(line.baud)});
    SendComPort({kSetDataSize, static_cast<uint8_t>(line.dataBits)});
    SendComPort({kSetParity, ParityCode(line.parity)});
    SendComPort({kSetStopSize, StopSizeCode(line.stopBits)});
    SendComPort({kSetControl, FlowCode(line.flow)});
}

void CRfc2217Client::SendControl(uint8_t value) {
    SendComPort({kSetControl, value});
}

void CRfc2217Client::SendPurge() {
    m_answered &= ~Bit(kPurgeData);
    SendComPort({kPurgeData, kPurgeBoth});
}

void CRfc2217Client::SendComPort(std::initializer_list<uint8_t> command) {
    // libtelnet escapes 0xFF inside the subnegotiation, as in a baud rate of 0x0000FF00.
    if (!m_broken)
        telnet_subnegotiation(m_telnet, kComPortOption,
                              reinterpret_cast<const char*>(std::data(command)), command.size());
}

std::string CRfc2217Client::TakeOutput() {
    std::string output;
    output.swap(m_output);
    return output;
}

CRfc2217Client::ComPort CRfc2217Client::ComPortState() const {
    switch (m_filter.Answer()) {
    case TELNET_DO:
        return ComPort::Accepted;
    case TELNET_DONT:
        return ComPort::Refused;
    default:
        return ComPort::Asked;
    }
}

bool CRfc2217Client::LineConfirmed(CLineConfig& applied) const {
    applied = m_applied;
    return (m_answered & kLineCommands) == kLineCommands;
}

bool CRfc2217Client::PurgeConfirmed() const {
    return (m_answered & Bit(kPurgeData)) != 0;
}

void CRfc2217Client::OnEvent(telnet_t*, telnet_event_t* event, void* self) {
    auto* client = static_cast<CRfc2217Client*>(self);
    switch (event->type) {
    case TELNET_EV_DATA:
        client->OnData(event->data.buffer, event->data.size);
        break;
    case TELNET_EV_SEND:
        client->m_output.append(event->data.buffer, event->data.size);
        break;
    case TELNET_EV_SUBNEGOTIATION:
        if (event->sub.telopt == kComPortOption)
            client->OnComPort(reinterpret_cast<const uint8_t*>(event->sub.buffer), event->sub.size);
        break;
    case TELNET_EV_ERROR:
        client->m_broken = true;
        break;
    default:
        break;
    }
}

void CRfc2217Client::OnData(const char* bytes, size_t count) {
    if (m_data == nullptr)
        return;
    const size_t taken = std::min(count, m_dataCapacity - m_dataLength);
    std::memcpy(m_data + m_dataLength, bytes, taken);
    m_dataLength += taken;
}

// The server's answers to the line commands and to a purge; anything else (notifications of
// the modem and line state, signatures, flow control) and anything cut short is ignored.
void CRfc2217Client::OnComPort(const uint8_t* bytes, size_t count) {
    if (count < 2)
        return;
    const uint8_t value = bytes[1];
    switch (bytes[0]) {
    case kServerAnswer + kSetBaudRate:
        if (count < 5)
            return;
        m_applied.baud = static_cast<uint32_t>(bytes[1]) << 24 |
                         static_cast<uint32_t>(bytes[2]) << 16 |
                         static_cast<uint32_t>(bytes[3]) << 8 | bytes[4];
        break;
    case kServerAnswer + kSetDataSize:
        m_applied.dataBits = value;
        break;
    case kServerAnswer + kSetParity:
        m_applied.parity = ParityOf(value);
        break;
    case kServerAnswer + kSetStopSize:
        m_applied.stopBits = StopBitsOf(value);
        break;
    case kServerAnswer + kSetControl:
        if (value >= 1 && value <= 3) // the answer to a flow-control request, not to RTS or DTR
            m_applied.flow = value == 3   ? FlowControl::RtsCts
                             : value == 2 ? FlowControl::XonXoff
                                          : FlowControl::None;
        break;
    case kServerAnswer + kPurgeData:
        break;
    default:
        return;
    }
    m_answered |= Bit(static_cast<uint8_t>(bytes[0] - kServerAnswer));
}

} // namespace brivox
