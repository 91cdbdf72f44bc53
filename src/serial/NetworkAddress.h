#pragma once

#include <cstdint>
#include <string>

namespace brivox {

// How long a serial server gets to connect and to answer while a port opens.
inline constexpr int kServerAnswerLimitMs = 3000;

// A port-map target that names a serial server (ser2net and the like) instead of a device node.
struct CNetworkAddress {
    enum class Protocol {
        Rfc2217, // rfc2217://: telnet with the COM-PORT-OPTION for line settings and modem lines
        Raw,     // tcp://: a plain byte stream
    };
    Protocol protocol = Protocol::Rfc2217;
    std::string host; // a name or an address; an IPv6 address without its brackets
    uint16_t port = 0;
};

// "scheme://...": meant as a server address (which may still be malformed), never a device path.
bool IsNetworkAddress(const std::string& text);

// Reads rfc2217://HOST:PORT or tcp://HOST:PORT (an IPv6 host in brackets); false for any other
// text.
bool ParseNetworkAddress(const std::string& text, CNetworkAddress& address);

} // namespace brivox
