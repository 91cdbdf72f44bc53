#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

namespace brivox::test {

// While set, setting a line's termios fails with EINVAL, as a driver refusing a rate does.
void RefuseLineSettings(bool refuse);

// While it lives, the ioctl calls of the test binary on ttys meet a driver that a pseudo-terminal
// cannot be: one that rounds rates, has modem lines that change, BREAK, HUPCL and (or not) an
// RS-485 mode. Only one lives at a time.
class CFakeDriver {
public:
    struct CEvent {
        enum class Kind { Dtr, Rts, Break, Rs485 } kind;
        bool on;
        std::chrono::steady_clock::time_point at;
    };

    CFakeDriver();
    ~CFakeDriver();
    CFakeDriver(const CFakeDriver&) = delete;
    CFakeDriver& operator=(const CFakeDriver&) = delete;

    // The rate the driver runs for an asked one without a B constant (BOTHER).
    void RoundRatesTo(uint32_t running);
    void SetRs485Supported(bool supported);
    // The input lines (TIOCM_CTS, TIOCM_DSR, TIOCM_CD, TIOCM_RI bits); wakes a TIOCMIWAIT.
    void SetInputLines(int bits);
    // Whether the last line setting kept HUPCL.
    bool HangsUpOnClose() const;
    std::vector<CEvent> Events() const;
    // How many TIOCMIWAIT calls are waiting now.
    int Waiters() const;
};

} // namespace brivox::test
