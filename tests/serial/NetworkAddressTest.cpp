#include "serial/NetworkAddress.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Protocol = CNetworkAddress::Protocol;

TEST(NetworkAddressTest, ReadsServerAddresses) {
    const struct {
        const char* text;
        Protocol protocol;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"rfc2217://bench-3:2001", Protocol::Rfc2217, "bench-3", 2001},
        {"RFC2217://10.0.0.7:7000", Protocol::Rfc2217, "10.0.0.7", 7000},
        {"tcp://[::1]:4001", Protocol::Raw, "::1", 4001},
        {"tcp://lab_host.example:65535", Protocol::Raw, "lab_host.example", 65535},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(IsNetworkAddress(c.text)) << c.text;
        CNetworkAddress address;
        ASSERT_TRUE(ParseNetworkAddress(c.text, address)) << c.text;
        EXPECT_EQ(address.protocol, c.protocol) << c.text;
        EXPECT_EQ(address.host, c.host);
        EXPECT_EQ(address.port, c.port);
    }
}

TEST(NetworkAddressTest, RefusesMalformedAddressesAndTellsThemFromDevicePaths) {
    const struct {
        const char* text;
        bool network; // meant as a server address, so opening it says it is malformed
    } cases[] = {
        {"rfc2217://bench-3", true},
        {"rfc2217://bench-3:", true},
        {"rfc2217://bench-3:0", true},
        {"rfc2217://bench-3:65536", true},
        {"rfc2217://bench-3:+80", true},
        {"rfc2217://:2001", true},
        {"rfc2217://a b:2001", true},
        {"rfc2217://user@host:2001", true},
        {"rfc2217://host:2001/", true},
        {"tcp://::1:4001", true},
        {"tcp://[::1:4001", true},
        {"telnet://host:23", true},
        {"/dev/ttyUSB0", false},
        {"ttyUSB0", false},
        {"://host:1", false},
        {"1tcp://host:1", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNetworkAddress(c.text), c.network) << c.text;
        CNetworkAddress address;
        EXPECT_FALSE(ParseNetworkAddress(c.text, address)) << c.text;
    }
}

} // namespace
} // namespace brivox
