#include "serial/TelnetFilter.h"

#include <cstddef>
#include <cstring>
#include <libtelnet.h>

namespace brivox {

void CTelnetFilter::Pass(const uint8_t* bytes, size_t count, std::string& out) {
    const uint8_t* end = bytes + count;
    while (bytes < end) {
        if (m_state == State::Data) {
            // Data up to the next IAC passes whole; the IAC itself goes through Step.
            const auto* iac =
                static_cast<const uint8_t*>(std::memchr(bytes, TELNET_IAC, end - bytes));
            const uint8_t* stop = iac == nullptr ? end : iac;
            out.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(stop - bytes));
            bytes = stop;
            if (bytes == end)
                break;
        }
        Step(*bytes++, out);
    }
}

void CTelnetFilter::Step(uint8_t byte, std::string& out) {
    switch (m_state) {
    case State::Data:
        out += static_cast<char>(byte);
        if (byte == TELNET_IAC)
            m_state = State::Iac;
        return;
    case State::Iac:
        AfterIac(byte, out);
        return;
    case State::Option:
        OptionByte(byte, out);
        return;
    case State::SbOption:
        SubnegotiationOption(byte, out);
        return;
    case State::SbPass:
        out += static_cast<char>(byte);
        if (byte == TELNET_IAC) {
            m_state = State::SbPassIac;
        } else if (++m_length >= kMaxSubnegotiation) {
            out += {static_cast<char>(TELNET_IAC), static_cast<char>(TELNET_SE)};
            m_state = State::SbSkip;
        }
        return;
    case State::SbPassIac:
        if (byte == TELNET_SE || byte == TELNET_IAC) {
            out += static_cast<char>(byte);
            m_state = byte == TELNET_SE ? State::Data : State::SbPass;
        } else {
            // libtelnet ends the subnegotiation here and takes the byte as a command.
            AfterIac(byte, out);
        }
        return;
    case State::SbSkip:
        if (byte == TELNET_IAC)
            m_state = State::SbSkipIac;
        return;
    case State::SbSkipIac:
        if (byte == TELNET_SE) {
            m_state = State::Data;
        } else if (byte == TELNET_IAC) {
            m_state = State::SbSkip;
        } else {
            out += static_cast<char>(TELNET_IAC);
            AfterIac(byte, out);
        }
        return;
    }
}

void CTelnetFilter::AfterIac(uint8_t byte, std::string& out) {
    m_sawCommand = m_sawCommand || byte != TELNET_IAC;
    if (byte == TELNET_SB) {
        m_state = State::SbOption;
        return;
    }
    out += static_cast<char>(byte);
    m_command = byte;
    const bool negotiation =
        byte == TELNET_WILL || byte == TELNET_WONT || byte == TELNET_DO || byte == TELNET_DONT;
    m_state = negotiation ? State::Option : State::Data;
}

void CTelnetFilter::OptionByte(uint8_t byte, std::string& out) {
    out += static_cast<char>(byte);
    if (byte == m_option && (m_command == TELNET_DO || m_command == TELNET_DONT))
        m_answer = m_command;
    m_state = State::Data;
}

void CTelnetFilter::SubnegotiationOption(uint8_t byte, std::string& out) {
    if (byte != m_option) {
        out += static_cast<char>(TELNET_NOP);
        m_state = State::SbSkip;
        return;
    }
    out += {static_cast<char>(TELNET_SB), static_cast<char>(byte)};
    m_length = 0;
    m_state = State::SbPass;
}

} // namespace brivox
