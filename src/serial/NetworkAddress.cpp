#include "serial/NetworkAddress.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace brivox {

namespace {

constexpr char kSeparator[] = "://";

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsHostCharacter(unsigned char c, bool bracketed) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || (bracketed && c == ':');
}

bool ReadPort(const std::string& text, uint16_t& port) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] == '+' || error != std::errc() || stop != end || value == 0 ||
        value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// "HOST:PORT" or "[IPV6]:PORT".
bool ReadHostAndPort(const std::string& text, CNetworkAddress& address) {
    const bool bracketed = !text.empty() && text[0] == '[';
    const size_t hostEnd = bracketed ? text.find(']') : text.rfind(':');
    if (hostEnd == std::string::npos)
        return false;
    const size_t colon = bracketed ? hostEnd + 1 : hostEnd;
    if (colon >= text.size() || text[colon] != ':')
        return false;
    address.host = bracketed ? text.substr(1, hostEnd - 1) : text.substr(0, hostEnd);
    const bool hostValid =
        !address.host.empty() && std::all_of(address.host.begin(), address.host.end(),
                                             [&](char c) { return IsHostCharacter(c, bracketed); });
    return hostValid && ReadPort(text.substr(colon + 1), address.port);
}

} // namespace

bool IsNetworkAddress(const std::string& text) {
    const size_t separator = text.find(kSeparator);
    if (separator == std::string::npos || separator == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    return std::all_of(
        text.begin(), text.begin() + static_cast<long>(separator),
        [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; });
}

bool ParseNetworkAddress(const std::string& text, CNetworkAddress& address) {
    if (!IsNetworkAddress(text))
        return false;
    const size_t separator = text.find(kSeparator);
    const std::string scheme = LowerCase(text.substr(0, separator));
    if (scheme == "rfc2217")
        address.protocol = CNetworkAddress::Protocol::Rfc2217;
    else if (scheme == "tcp")
        address.protocol = CNetworkAddress::Protocol::Raw;
    else
        return false;
    return ReadHostAndPort(text.substr(separator + sizeof kSeparator - 1), address);
}

} // namespace brivox
