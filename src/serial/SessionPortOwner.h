#pragma once

#include "serial/ModemLineWatch.h"
#include "util/ByteBuffer.h"

#include <cstdint>
#include <string>

namespace brivox {

// What a session's port tells the session that owns it, and the session's paced write. The
// session form implements it; so can a command-line driver or a test.
class CSessionPortOwner {
public:
    virtual ~CSessionPortOwner() = default;

    // A received chunk, on the UI thread, in the order the bytes came.
    virtual void ReceiveBytes(const uint8_t* bytes, int count) = 0;
    // A chunk in which a byte came with a line error: marks holds a LineMark a byte.
    virtual void ReceiveMarkedBytes(const uint8_t* bytes, const uint8_t* /*marks*/, int count) {
        ReceiveBytes(bytes, count);
    }
    // Writes through the session's pacing ("Delay between bytes").
    virtual void WriteBytes(const CByteBuffer& bytes) = 0;
    // Shows a byte as sent (a posted notice, so any thread may call it).
    virtual void PostSentByte(uint8_t byte) = 0;
    // The device went away; the port is closed.
    virtual void PortLost() = 0;
    // The device came back and the port reopened on its own (the reconnect switch).
    virtual void PortReopened() {}
    // A modem input line changed (a tty that reports them).
    virtual void ModemLinesChanged(const CModemLines& /*lines*/) {}
    // A message for the user, such as "Can't Config".
    virtual void ShowPortMessage(const std::string& text) = 0;
};

} // namespace brivox
