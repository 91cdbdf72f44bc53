#pragma once

#include "serial/PortDevice.h"

#include <string>

namespace brivox {

// One opened tty, plain POSIX.
class CTtyDevice : public CPortDevice {
public:
    // Opens the device for this process alone (TIOCEXCL and an exclusive flock, which also
    // holds against root). 0 on success, else the system's error number: ENOTTY for a path that
    // is no terminal, EAGAIN or EBUSY when another process holds the device.
    int Open(const std::string& path);

    std::string Configure(const CLineConfig& line) override {
        return ApplyLine(Descriptor(), line);
    }
    bool SetModemLine(int line, bool on) override;
    bool Flush() override;
    bool Write(const uint8_t* bytes, size_t count) override;
    int Read(uint8_t* buffer, size_t capacity) override;
};

} // namespace brivox
