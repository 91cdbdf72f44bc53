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

    // A driver that rounds the rate by more than 2 % is said in Note.
    std::string Configure(const CLineConfig& line) override;
    bool SetModemLine(int line, bool on) override;
    bool Flush() override;
    bool SetBreak(bool on) override;
    bool SetHangUpOnClose(bool on) override;
    void AwaitSent(std::chrono::nanoseconds characterTime) override;
    Rs485Outcome SetRs485(const CRs485& rs485) override {
        return ApplyKernelRs485(Descriptor(), rs485);
    }
    std::string Note() const override { return m_note; }
    bool Write(const uint8_t* bytes, size_t count) override;
    int Read(uint8_t* buffer, size_t capacity) override;

private:
    std::string m_note;
};

} // namespace brivox
