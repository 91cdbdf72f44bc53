#pragma once

#include "serial/LineConfig.h"
#include "serial/PortError.h"
#include "serial/Rs485.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace brivox {

// What a port reads and writes: one descriptor and a wake-up descriptor that ends every wait on
// it. A tty and a connection to a serial server are the two kinds; the port, its reader and its
// writers share one through a shared_ptr, and the last of them closes it.
class CPortDevice {
public:
    static constexpr int kWriteLimitMs = 10000;

    enum class Wait {
        Readable,  // bytes are waiting
        Woken,     // Wake was called
        Gone,      // the device hung up or failed
        Cancelled, // the cancel descriptor turned readable
    };

    CPortDevice();
    CPortDevice(const CPortDevice&) = delete;
    CPortDevice& operator=(const CPortDevice&) = delete;
    virtual ~CPortDevice();

    // An error text when the line cannot be set.
    virtual std::string Configure(const CLineConfig& line) = 0;
    // Raises or lowers a modem line (TIOCM_RTS, TIOCM_DTR); false when the device has no such
    // line, which leaves it as it was.
    virtual bool SetModemLine(int line, bool on) = 0;
    // Discards what waits in both directions.
    virtual bool Flush() = 0;
    // Holds the line in the BREAK condition (space) while on; false when the device cannot.
    virtual bool SetBreak(bool /*on*/) { return false; }
    // Whether closing drops DTR and RTS (a tty's HUPCL); false when the device has no such say.
    virtual bool SetHangUpOnClose(bool /*on*/) { return false; }
    // Returns once what was written has left the line: the driver's queue empty, then one
    // character for the UART's shift register; within kWriteLimitMs. A device without such a
    // queue returns at once.
    virtual void AwaitSent(std::chrono::nanoseconds /*characterTime*/) {}
    // RS-485 in the driver; see ApplyKernelRs485.
    virtual Rs485Outcome SetRs485(const CRs485& /*rs485*/) { return Rs485Outcome::NotSupported; }
    // Puts every byte on the line; false on an error, after kWriteLimitMs, or once woken.
    virtual bool Write(const uint8_t* bytes, size_t count) = 0;
    // Bytes read (0 when none are waiting), or -1 when the device has gone.
    virtual int Read(uint8_t* buffer, size_t capacity) = 0;
    // Why the device went away, in the user's words.
    virtual PortError LostError() const { return PortError::Gone; }
    // What the device could not do as asked although it opened, for the user; empty when none.
    virtual std::string Note() const { return ""; }

    using Clock = std::chrono::steady_clock;

    // Sleeps until bytes arrive, the device goes away or Wake is called.
    Wait WaitReadable();
    // As WaitReadable, and a deadline that passes ends the wait as Woken.
    Wait WaitReadableUntil(Clock::time_point deadline);
    // Ends the current and every later wait, until Rearm.
    void Wake();

    int Descriptor() const { return m_fd; }

    // While set (not -1), every wait ends as Cancelled once this descriptor turns readable: a
    // stop signal's descriptor, so that a command stops at once whatever a peer sends. The
    // descriptor is only polled, never read.
    void SetCancelDescriptor(int fd) { m_cancelFd = fd; }
    int CancelDescriptor() const { return m_cancelFd; }

protected:
    // 0, or the system's error number when no wake-up descriptor can be made.
    int Adopt(int fd);
    // Lets waits sleep again after Wake, for a device taken up again by a new reader.
    void Rearm();
    // One write attempt on the descriptor; as write(2).
    virtual ssize_t WriteSome(const uint8_t* bytes, size_t count);
    // Writes every byte before the deadline; false on an error, at the deadline or once woken.
    bool WriteAll(const uint8_t* bytes, size_t count, Clock::time_point deadline);

private:
    bool WaitWritable(int timeoutMs);

    int m_fd = -1;
    int m_wakeFd = -1;
    int m_cancelFd = -1;
};

} // namespace brivox
