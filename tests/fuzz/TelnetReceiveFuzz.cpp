// Whatever a server sends, the RFC 2217 client takes it without a crash or an overrun, in any
// pieces, and gives no more data than it got; and whatever it sends as data, a client reading
// that back gets the same bytes. The first input byte sets the piece size.
#include "serial/Rfc2217Client.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const size_t piece = data[0] % 16 + 1;
    const uint8_t* stream = data + 1;
    const size_t length = size - 1;

    brivox::CRfc2217Client client;
    client.Start();
    uint8_t out[16];
    for (size_t at = 0; at < length; at += piece) {
        const size_t count = std::min(piece, length - at);
        if (client.Receive(stream + at, count, out, sizeof out) > count)
            std::abort();
    }

    brivox::CRfc2217Client sender, reader;
    sender.SendData(stream, length);
    const std::string wire = sender.TakeOutput();
    std::string back(wire.size(), '\0');
    const size_t got = reader.Receive(reinterpret_cast<const uint8_t*>(wire.data()), wire.size(),
                                      reinterpret_cast<uint8_t*>(back.data()), back.size());
    if (got != length || std::memcmp(back.data(), stream, length) != 0)
        std::abort();
    return 0;
}
