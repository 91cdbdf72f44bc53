#pragma once

#include <string>

namespace brivox {

// A two-wire RS-485 line whose transmitter RTS switches: on while sending, off after (or the
// other way round), with delays around a send.
struct CRs485 {
    static constexpr int kMaxDelayMs = 1000;

    bool enabled = false;
    bool rtsOnSend = true; // RTS high while sending, low after; false: the other way round
    int delayBeforeMs = 0;
    int delayAfterMs = 0;
    bool operator==(const CRs485&) const = default;
};

// "high" or "low": RTS while sending; an error text for anything else.
std::string ParseRs485Level(const std::string& text, CRs485& rs485);
// "BEFORE,AFTER" in ms, each 0 to 1000; an error text.
std::string ParseRs485Delays(const std::string& text, CRs485& rs485);

enum class Rs485Outcome { Kernel, NotSupported, Failed };

// Turns on the driver's own RS-485 mode (TIOCSRS485), which switches RTS in step with the UART.
// NotSupported for a driver without it, where RTS is then switched by the program around each
// write. Never called for a line without RS-485, whose driver may have the mode from the board's
// own configuration.
Rs485Outcome ApplyKernelRs485(int fd, const CRs485& rs485);

} // namespace brivox
