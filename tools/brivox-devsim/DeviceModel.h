#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brivox::devsim {

// One request the device recognised and what it answers (empty: it stays silent).
struct CExchange {
    std::vector<uint8_t> request;
    std::vector<uint8_t> reply;
    int delayMs = 0; // how long after the request the reply goes out
    bool operator==(const CExchange&) const = default;
};

// What a simulated device does with the bytes that reach it.
class CDeviceModel {
public:
    virtual ~CDeviceModel() = default;

    // Bytes just received; the exchanges they complete, in order.
    virtual std::vector<CExchange> Receive(const uint8_t* bytes, size_t count) = 0;

    // How long the line may stay quiet before Quiet is called; -1 for never.
    virtual int QuietMs() const { return -1; }
    // The line has been quiet for QuietMs since the last bytes: ends a frame in progress.
    virtual std::vector<CExchange> Quiet() { return {}; }
};

// Answers nothing: a bridge's far end does the answering.
class CSilentModel : public CDeviceModel {
public:
    std::vector<CExchange> Receive(const uint8_t*, size_t) override { return {}; }
};

// Answers every chunk with itself.
class CEchoModel : public CDeviceModel {
public:
    std::vector<CExchange> Receive(const uint8_t* bytes, size_t count) override {
        std::vector<uint8_t> chunk(bytes, bytes + count);
        return {{chunk, chunk}};
    }
};

} // namespace brivox::devsim
