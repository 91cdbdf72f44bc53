#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brivox {

// Stands between a telnet server and libtelnet's parser and lets through only what a client of
// one option needs. A subnegotiation of any other option is dropped whole (its IAC SB reaches
// the parser as IAC NOP): libtelnet would start inflating the stream on a COMPRESS2 marker that
// was never negotiated and parse text options this client never agreed to. A subnegotiation of
// the option longer than kMaxSubnegotiation is cut there. It also notes how the server answered
// the option and whether it sent any telnet command at all.
class CTelnetFilter {
public:
    static constexpr size_t kMaxSubnegotiation = 256;

    explicit CTelnetFilter(uint8_t option) : m_option(option) {}

    // Appends to out what of the bytes may reach the parser, in order.
    void Pass(const uint8_t* bytes, size_t count, std::string& out);

    // The server's last DO or DONT for the option (TELNET_DO, TELNET_DONT), or 0.
    uint8_t Answer() const { return m_answer; }
    bool SawCommand() const { return m_sawCommand; }

private:
    enum class State {
        Data,
        Iac,       // after IAC
        Option,    // after IAC WILL, WONT, DO or DONT
        SbOption,  // after IAC SB
        SbPass,    // in a subnegotiation of the option
        SbPassIac, // after IAC there
        SbSkip,    // in a subnegotiation of another option
        SbSkipIac, // after IAC there
    };

    void Step(uint8_t byte, std::string& out);
    void AfterIac(uint8_t byte, std::string& out);
    void OptionByte(uint8_t byte, std::string& out);
    void SubnegotiationOption(uint8_t byte, std::string& out);

    const uint8_t m_option;
    State m_state = State::Data;
    uint8_t m_command = 0; // the WILL, WONT, DO or DONT before an option byte
    size_t m_length = 0;   // bytes of the subnegotiation passed so far
    uint8_t m_answer = 0;
    bool m_sawCommand = false;
};

} // namespace brivox
