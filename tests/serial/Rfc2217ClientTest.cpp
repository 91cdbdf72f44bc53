#include "serial/Rfc2217Client.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t IAC = 255, SB = 250, SE = 240, WILL = 251, DO = 253, DONT = 254;

Bytes Output(CRfc2217Client& client) {
    const std::string output = client.TakeOutput();
    return Bytes(output.begin(), output.end());
}

// What the client makes of the server's bytes fed in pieces of the given size.
Bytes DataOf(CRfc2217Client& client, const Bytes& stream, size_t piece) {
    Bytes data;
    uint8_t out[4096];
    for (size_t at = 0; at < stream.size(); at += piece) {
        const size_t count = std::min(piece, stream.size() - at);
        const size_t got = client.Receive(stream.data() + at, count, out, sizeof out);
        data.insert(data.end(), out, out + got);
    }
    return data;
}

// 65280 is 00 00 FF 00: an escaped byte.
const CLineConfig kLine{65280, 7, 'M', StopBits::OneAndHalf, FlowControl::RtsCts};

TEST(Rfc2217ClientTest, AsksForBinaryAndTheComPortOptionAndEscapesEveryFF) {
    CRfc2217Client client;
    client.Start();
    EXPECT_EQ(Output(client), (Bytes{IAC, WILL, 0, IAC, DO, 0, IAC, WILL, 44}));
    client.SendLine(kLine);
    EXPECT_EQ(Output(client), (Bytes{IAC, SB, 44, 1,   0,   0,   IAC, IAC, 0,  IAC, SE,  IAC, SB,
                                     44,  2,  7,  IAC, SE,  IAC, SB,  44,  3,  4,   IAC, SE,  IAC,
                                     SB,  44, 4,  3,   IAC, SE,  IAC, SB,  44, 5,   3,   IAC, SE}));
    client.SendControl(CRfc2217Client::kRtsOn);
    client.SendPurge();
    EXPECT_EQ(Output(client), (Bytes{IAC, SB, 44, 5, 11, IAC, SE, IAC, SB, 44, 12, 3, IAC, SE}));
    const Bytes data = {0xFF, 0x0D, 0x00, 0x0D, 0x0A};
    client.SendData(data.data(), data.size());
    EXPECT_EQ(Output(client), (Bytes{IAC, IAC, 0x0D, 0x00, 0x0D, 0x0A}));
}

TEST(Rfc2217ClientTest, TakesTheServersDataAndAnswersWhateverThePieces) {
    Bytes stream = {
        IAC, WILL, 0,   IAC, DO,   0,   IAC, DO,  44,  'A', IAC, IAC, 'B', 0x0D, 0x00, IAC,
        SB,  86,   IAC, SE,                                // a COMPRESS2 marker nobody negotiated
        'C', IAC,  SB,  39,  0,    'x', 1,   'y', IAC, SE, // NEW-ENVIRON, never agreed to
        IAC, SB,   44,  107, 0x30, IAC, SE,                // a modem-state notification
        IAC, SB,   44,  101, 0,    0,   IAC, IAC, 0,   IAC, SE,  IAC, SB,  44,   102,  7,
        IAC, SE,   IAC, SB,  44,   103, 4,   IAC, SE,  IAC, SB,  44,  104, 3,    IAC,  SE,
        IAC, SB,   44,  105, 3,    IAC, SE,  IAC, SB,  44,  IAC, SE,  IAC, SB,   44};
    stream.insert(stream.end(), 300, 'z'); // longer than any answer
    stream.insert(stream.end(), {IAC, SE, 'D', IAC, SB, 44, 112, 3, IAC, SE});
    for (const size_t piece : {size_t{1}, size_t{2}, size_t{5}, stream.size()}) {
        CRfc2217Client client;
        client.Start();
        client.SendLine(kLine);
        client.SendPurge();
        EXPECT_EQ(DataOf(client, stream, piece), (Bytes{'A', 0xFF, 'B', 0x0D, 0x00, 'C', 'D'}))
            << "pieces of " << piece;
        EXPECT_EQ(client.ComPortState(), CRfc2217Client::ComPort::Accepted);
        CLineConfig applied;
        EXPECT_TRUE(client.LineConfirmed(applied));
        EXPECT_EQ(applied, kLine);
        EXPECT_TRUE(client.PurgeConfirmed());
        EXPECT_FALSE(client.Broken());
    }
}

TEST(Rfc2217ClientTest, ARefusalAndAServerThatSpeaksNoTelnet) {
    CRfc2217Client refusing;
    refusing.Start();
    uint8_t out[16];
    const Bytes refusal = {IAC, DONT, 44, IAC, WILL, 1}; // and offers to echo
    EXPECT_EQ(refusing.Receive(refusal.data(), refusal.size(), out, sizeof out), 0u);
    EXPECT_EQ(refusing.ComPortState(), CRfc2217Client::ComPort::Refused);
    EXPECT_EQ(Output(refusing).back(), 1) << "answered: no echo";

    CRfc2217Client silent;
    silent.Start();
    const Bytes text = {'h', 'i'};
    EXPECT_EQ(silent.Receive(text.data(), text.size(), out, sizeof out), 2u);
    EXPECT_EQ(silent.ComPortState(), CRfc2217Client::ComPort::Asked);
    EXPECT_FALSE(silent.SpokeTelnet());
    CLineConfig applied;
    EXPECT_FALSE(silent.LineConfirmed(applied));
}

} // namespace
} // namespace brivox
