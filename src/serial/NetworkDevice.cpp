#include "serial/NetworkDevice.h"

#include "serial/TcpConnect.h"

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace brivox {

namespace {

constexpr size_t kServerTextLimit = 120;

using ComPort = CRfc2217Client::ComPort;

// What a server said as one line of printable text: ser2net, for one, says why it turns a
// client away ("Port's device already in use") and closes.
std::string PrintableText(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        if (c >= 0x20 && c < 0x7F)
            text += c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

} // namespace

CNetworkDevice::CNetworkDevice() = default;

CNetworkDevice::~CNetworkDevice() = default;

CPortFailure CNetworkDevice::Open(const std::string& text, const CLineConfig& line) {
    m_address = text;
    CNetworkAddress address;
    if (!ParseNetworkAddress(text, address))
        return {PortError::BadAddress, 0, ""};
    const auto deadline = Clock::now() + std::chrono::milliseconds(kServerAnswerLimitMs);
    const CTcpConnection connection =
        ConnectTcp(address.host, address.port, deadline, CancelDescriptor());
    if (connection.fd < 0)
        return connection.failure;
    if (const int error = Adopt(connection.fd); error != 0)
        return {PortErrorOf(error), error, ""};
    if (address.protocol == CNetworkAddress::Protocol::Raw)
        return {};
    m_telnet = std::make_unique<CRfc2217Client>();
    return Negotiate(line, deadline);
}

CPortFailure CNetworkDevice::Negotiate(const CLineConfig& line, Clock::time_point deadline) {
    m_telnet->Start();
    const PortError error =
        AwaitServer([this] { return m_telnet->ComPortState() != ComPort::Asked; }, deadline);
    if (error == PortError::ConnectionClosed)
        return {error, 0, PrintableText(m_serverText)};
    if (error == PortError::Interrupted)
        return {error, 0, ""};
    switch (m_telnet->ComPortState()) {
    case ComPort::Accepted:
        return ApplyLine(line, deadline);
    case ComPort::Refused:
        m_note = "the server refused RFC 2217's COM-PORT-OPTION, so the line settings, RTS and "
                 "DTR stay as the server has them";
        break;
    case ComPort::Asked:
        if (!m_telnet->SpokeTelnet()) {
            m_telnet.reset();
            m_note = "the server did not answer in telnet and is used as a plain byte stream "
                     "(write tcp:// for such a server)";
        } else {
            m_note = "the server did not answer RFC 2217's COM-PORT-OPTION, so the line "
                     "settings, RTS and DTR stay as the server has them";
        }
        break;
    }
    return {};
}

CPortFailure CNetworkDevice::Resume(const CLineConfig& line) {
    Rearm();
    // Drops what came while no reader ran, and no more: a server that goes on sending would
    // otherwise keep this loop going.
    int queued = 0;
    if (ioctl(Descriptor(), FIONREAD, &queued) != 0)
        return {PortError::ConnectionClosed, 0, ""};
    uint8_t data[sizeof m_raw];
    for (size_t left = static_cast<size_t>(std::max(queued, 0)); left > 0;) {
        const Wait wait = WaitReadableUntil(Clock::now());
        if (wait == Wait::Woken || wait == Wait::Cancelled)
            break; // nothing more waits, or the caller gives up
        const size_t wanted = std::min(left, sizeof data);
        if (wait == Wait::Gone || Receive(data, wanted) < 0)
            return {PortError::ConnectionClosed, 0, ""};
        left -= wanted;
    }
    if (!TakesCommands())
        return {};
    return ApplyLine(line, Clock::now() + std::chrono::milliseconds(kServerAnswerLimitMs));
}

CPortFailure CNetworkDevice::ApplyLine(const CLineConfig& line, Clock::time_point deadline) {
    m_line = line;
    m_note.clear();
    m_telnet->SendLine(line);
    m_telnet->SendPurge();
    CLineConfig applied;
    const PortError error = AwaitServer(
        [&] { return m_telnet->LineConfirmed(applied) && m_telnet->PurgeConfirmed(); }, deadline);
    if (error == PortError::ConnectionClosed)
        return {error, 0, PrintableText(m_serverText)};
    if (error == PortError::Interrupted)
        return {error, 0, ""};
    m_purgedAtOpen = error == PortError::None;
    if (error == PortError::TimedOut)
        m_note = "the server did not confirm the line settings " + LineConfigText(line);
    else if (!(applied == line))
        m_note =
            "the server applied " + LineConfigText(applied) + " instead of " + LineConfigText(line);
    return {};
}

PortError CNetworkDevice::AwaitServer(const Done& done, Clock::time_point deadline) {
    uint8_t data[sizeof m_raw];
    for (;;) {
        if (!SendPending(deadline))
            return WaitReadableUntil(Clock::now()) == Wait::Cancelled ? PortError::Interrupted
                                                                      : PortError::ConnectionClosed;
        if (done())
            return PortError::None;
        // Checked before each wait: a server that never stops sending keeps the descriptor
        // readable, and must not hold the open past its limit.
        if (Clock::now() >= deadline)
            return PortError::TimedOut;
        const Wait wait = WaitReadableUntil(deadline);
        if (wait == Wait::Cancelled)
            return PortError::Interrupted;
        if (wait == Wait::Woken)
            return PortError::TimedOut;
        const int count = wait == Wait::Readable ? Receive(data, sizeof data) : -1;
        if (count < 0)
            return PortError::ConnectionClosed;
        m_serverText.append(reinterpret_cast<const char*>(data), static_cast<size_t>(count));
        if (m_serverText.size() > kServerTextLimit)
            m_serverText.erase(0, m_serverText.size() - kServerTextLimit);
    }
}

std::string CNetworkDevice::Configure(const CLineConfig& line) {
    if (line == m_line || !TakesCommands())
        return "";
    m_line = line;
    if (!SendCommand([&](CRfc2217Client& telnet) { telnet.SendLine(line); }))
        return "the connection to the server ended";
    return "";
}

bool CNetworkDevice::SetModemLine(int line, bool on) {
    uint8_t value;
    if (line == TIOCM_DTR)
        value = on ? CRfc2217Client::kDtrOn : CRfc2217Client::kDtrOff;
    else if (line == TIOCM_RTS)
        value = on ? CRfc2217Client::kRtsOn : CRfc2217Client::kRtsOff;
    else
        return false;
    return SendCommand([value](CRfc2217Client& telnet) { telnet.SendControl(value); });
}

bool CNetworkDevice::SetBreak(bool on) {
    const uint8_t value = on ? CRfc2217Client::kBreakOn : CRfc2217Client::kBreakOff;
    return SendCommand([value](CRfc2217Client& telnet) { telnet.SendControl(value); });
}

bool CNetworkDevice::Flush() {
    if (m_purgedAtOpen.exchange(false))
        return true;
    return SendCommand([](CRfc2217Client& telnet) { telnet.SendPurge(); });
}

bool CNetworkDevice::Write(const uint8_t* bytes, size_t count) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteLimitMs);
    if (m_telnet) {
        {
            std::lock_guard lock(m_mutex);
            m_telnet->SendData(bytes, count);
        }
        return SendPending(deadline);
    }
    std::lock_guard sending(m_sendMutex);
    if (WriteAll(bytes, count, deadline))
        return true;
    Break();
    return false;
}

int CNetworkDevice::Read(uint8_t* buffer, size_t capacity) {
    m_purgedAtOpen = false;
    const int count = Receive(buffer, capacity);
    // The server's negotiation may want an answer.
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteLimitMs);
    if (count >= 0 && m_telnet && !SendPending(deadline))
        return -1;
    return count;
}

int CNetworkDevice::Receive(uint8_t* buffer, size_t capacity) {
    const size_t wanted = std::min(capacity, sizeof m_raw);
    const ssize_t got = recv(Descriptor(), m_telnet ? m_raw : buffer, wanted, MSG_DONTWAIT);
    if (got == 0)
        return -1;
    if (got < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    if (!m_telnet)
        return static_cast<int>(got);
    std::lock_guard lock(m_mutex);
    const size_t count = m_telnet->Receive(m_raw, static_cast<size_t>(got), buffer, capacity);
    return m_telnet->Broken() ? -1 : static_cast<int>(count);
}

ssize_t CNetworkDevice::WriteSome(const uint8_t* bytes, size_t count) {
    return send(Descriptor(), bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
}

bool CNetworkDevice::SendPending(Clock::time_point deadline) {
    std::lock_guard sending(m_sendMutex);
    for (;;) {
        std::string output;
        {
            std::lock_guard lock(m_mutex);
            output = m_telnet->TakeOutput();
        }
        if (output.empty())
            return true;
        if (!WriteAll(reinterpret_cast<const uint8_t*>(output.data()), output.size(), deadline)) {
            Break();
            return false;
        }
    }
}

bool CNetworkDevice::SendCommand(const std::function<void(CRfc2217Client&)>& command) {
    if (!TakesCommands())
        return false;
    {
        std::lock_guard lock(m_mutex);
        command(*m_telnet);
    }
    return SendPending(Clock::now() + std::chrono::milliseconds(kWriteLimitMs));
}

bool CNetworkDevice::TakesCommands() const {
    if (!m_telnet)
        return false;
    std::lock_guard lock(m_mutex);
    return m_telnet->ComPortState() == ComPort::Accepted;
}

// A stream cut inside a telnet command cannot go on; ending it lets the reader report the port
// lost, as a pulled adapter.
void CNetworkDevice::Break() {
    shutdown(Descriptor(), SHUT_RDWR);
}

} // namespace brivox
