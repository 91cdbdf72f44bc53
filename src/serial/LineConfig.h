#pragma once

#include "serial/SerialSettings.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace brivox {

enum class StopBits : uint8_t { One, OneAndHalf, Two };
enum class FlowControl : uint8_t { None, RtsCts, XonXoff };

// The line a port runs: raw bytes, RTS and DTR left to the caller unless the flow control takes
// RTS over.
struct CLineConfig {
    static constexpr uint32_t kMinBaud = 50;
    static constexpr uint32_t kMaxBaud = 12'000'000;

    uint32_t baud = 9600;
    int dataBits = 8;  // 5 to 8; the session form only asks for 7 or 8
    char parity = 'N'; // 'N', 'E', 'O', 'M' (mark) or 'S' (space)
    StopBits stopBits = StopBits::One;
    // Off, the flow-control characters are data like any other byte.
    FlowControl flow = FlowControl::None;
    // The driver marks bytes with a parity or framing error and BREAKs in the byte stream
    // (PARMRK with INPCK); a literal FF then comes doubled.
    bool markErrors = false;
    bool operator==(const CLineConfig&) const = default;
};

// "9600,N,8,1", "250000,M,5,1.5".
std::string LineConfigText(const CLineConfig& line);
// Reads that text (BAUD,PARITY,DATA,STOP: 50 to 12000000 baud, N, E, O, M or S, 5 to 8 data bits,
// 1, 1.5 or 2 stop bits); an error text naming the field, empty on success. The flow control and
// the marking are left as they are.
std::string ParseLineConfig(const std::string& text, CLineConfig& line);

// The form's settings: data bits "5" to "8" (anything else 8); "Even", "Odd", "Mark" and
// "Space" parity or their letters (anything else none); stop bits "2" or "1.5" (anything else 1).
CLineConfig LineConfigFor(const CSerialSettings& settings);

// One character on the line: start bit, data, parity and stop bits, in half bits.
int CharacterHalfBits(const CLineConfig& line);
std::chrono::nanoseconds CharacterTime(const CLineConfig& line);

// Why the line cannot be run at all (1.5 stop bits other than with 5 data bits, which the UART
// makes of two); empty when it can.
std::string LineRefusal(const CLineConfig& line);

// Said when the driver runs another rate than the one asked for, by more than 2 %: "asked
// 250000, the adapter runs at 249600, -0.2 %"; empty when it is within that.
std::string RateDeviation(uint32_t asked, uint32_t running);

// The mode words of a kernel termios2 record, so that the encoding can be checked without a device.
struct CTermiosFlags {
    uint32_t iflag = 0;
    uint32_t oflag = 0;
    uint32_t cflag = 0;
    uint32_t lflag = 0;
    uint32_t ispeed = 0;
    uint32_t ospeed = 0;
};

// Raw mode, CLOCAL | CREAD, the line and its flow control; the other control bits (HUPCL) keep
// what the driver had. Rates without a B constant use BOTHER with the rate in the speed fields.
void EncodeLine(const CLineConfig& line, CTermiosFlags& flags);
CLineConfig DecodeLine(const CTermiosFlags& flags);

// Applies the line to an open tty; an error text when the driver refuses it. running receives the
// rate the driver reports back, which an adapter may have rounded.
std::string ApplyLine(int fd, const CLineConfig& line, uint32_t* running = nullptr);
// Whether the last close of the tty drops DTR and RTS (HUPCL); an error text.
std::string SetHangUpOnLastClose(int fd, bool on);
// What the driver holds now; an error text when it cannot be read.
std::string ReadAppliedLine(int fd, CLineConfig& line, CTermiosFlags* flags = nullptr);

} // namespace brivox
