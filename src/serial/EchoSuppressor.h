#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>

namespace brivox {

// The echo of a two-wire RS-485 adapter: every byte sent comes back. The writers note what they
// send; the reader drops received bytes that repeat it, in order, while each is still due (the
// time the line takes to carry the bytes sent so far, plus kMargin). A byte that differs, or
// carries a line error, ends the suppression of everything still expected and is kept.
class CEchoSuppressor {
public:
    using Clock = std::chrono::steady_clock;
    // USB adapters hand bytes over in frames of up to 16 ms; threads take a while to wake.
    static constexpr std::chrono::milliseconds kMargin{100};

    // byteTime: how long the line takes to carry one byte (start, data, parity and stop bits).
    explicit CEchoSuppressor(Clock::duration byteTime) : m_byteTime(byteTime) {}

    // From any writer, before the bytes go to the device.
    void NoteSent(const uint8_t* bytes, size_t count, Clock::time_point now = Clock::now());
    // In place: drops the echo from bytes (and their marks, when marks is not null); the count
    // kept.
    int Filter(uint8_t* bytes, uint8_t* marks, int count, Clock::time_point now = Clock::now());

private:
    struct CExpected {
        uint8_t value;
        Clock::time_point due;
    };

    const Clock::duration m_byteTime;
    std::mutex m_mutex;
    std::deque<CExpected> m_expected;
    Clock::time_point m_lineFreeAt{};
};

} // namespace brivox
