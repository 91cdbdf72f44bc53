#pragma once

#include "serial/SerialSettings.h"

#include <cstdint>
#include <string>

namespace brivox {

// The line a port runs: raw bytes, no flow control of any kind, RTS and DTR left to the caller.
struct CLineConfig {
    uint32_t baud = 9600;
    int dataBits = 8;  // 5 to 8; the settings only ask for 7 or 8
    char parity = 'N'; // 'N', 'E' or 'O'
    int stopBits = 1;  // 1 or 2
    bool operator==(const CLineConfig&) const = default;
};

// "9600,N,8,1".
std::string LineConfigText(const CLineConfig& line);

// Data bits "7" gives 7, anything else 8; "Even" and "Odd" parity, anything else none; stop bits
// "2" gives 2, anything else 1.
CLineConfig LineConfigFor(const CSerialSettings& settings);

// The mode words of a kernel termios2 record, so that the encoding can be checked without a device.
struct CTermiosFlags {
    uint32_t iflag = 0;
    uint32_t oflag = 0;
    uint32_t cflag = 0;
    uint32_t lflag = 0;
    uint32_t ispeed = 0;
    uint32_t ospeed = 0;
};

// Raw mode, no flow control, CLOCAL | CREAD and the line; the other control bits (HUPCL) keep
// what the driver had. Rates without a B constant use BOTHER with the rate in the speed fields.
void EncodeLine(const CLineConfig& line, CTermiosFlags& flags);
CLineConfig DecodeLine(const CTermiosFlags& flags);

// Applies the line to an open tty; an error text when the driver refuses it.
std::string ApplyLine(int fd, const CLineConfig& line);
// What the driver holds now; an error text when it cannot be read.
std::string ReadAppliedLine(int fd, CLineConfig& line, CTermiosFlags* flags = nullptr);

} // namespace brivox
