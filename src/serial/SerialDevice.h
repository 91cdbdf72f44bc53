#pragma once

#include "serial/LineConfig.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace brivox {

// One opened tty and a wake-up descriptor that ends every wait on it. Plain POSIX: the port, its
// reader and its writers share one through a shared_ptr, and the last of them closes it.
class CSerialDevice {
public:
    static constexpr int kWriteLimitMs = 10000;

    enum class Wait {
        Readable, // bytes are waiting
        Woken,    // Wake was called
        Gone,     // the device hung up or failed
    };

    CSerialDevice() = default;
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;
    ~CSerialDevice();

    // Opens the device for this process alone (TIOCEXCL and an exclusive flock, which also
    // holds against root). 0 on success, else the system's error number: ENOTTY for a path that
    // is no terminal, EAGAIN or EBUSY when another process holds the device.
    int Open(const std::string& path);
    std::string Configure(const CLineConfig& line) { return ApplyLine(m_fd, line); }

    // Raises or lowers a modem line (TIOCM_RTS, TIOCM_DTR); false when the driver has no such
    // line, which leaves the device as it was.
    bool SetModemLine(int line, bool on);
    bool Flush();

    // Puts every byte on the line; false on an error, after kWriteLimitMs, or once woken.
    bool Write(const uint8_t* bytes, size_t count);

    // Sleeps until bytes arrive, the device goes away or Wake is called.
    Wait WaitReadable();
    // Bytes read (0 when none are waiting), or -1 when the device has gone.
    int Read(uint8_t* buffer, size_t capacity);

    // Ends the current and every later wait, for good.
    void Wake();

    int Descriptor() const { return m_fd; }

private:
    bool WaitWritable(int timeoutMs);

    int m_fd = -1;
    int m_wakeFd = -1;
};

} // namespace brivox
