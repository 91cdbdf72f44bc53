#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// What the bytes received after a MODBUS request say about it.
enum class ModbusVerdict {
    Incomplete,  // no whole reply yet
    Ok,          // the reply answers the request
    Exception,   // the slave refused the request with an exception code
    BadChecksum, // a whole frame whose CRC or LRC is wrong
    Mismatch,    // a well-formed frame that does not answer this request (reason says why)
};

// What is wrong with a reply that does not answer the request.
enum class ModbusMismatch {
    None,
    Slave,    // from another slave, or to a broadcast
    Function, // another function
    Shape,    // the right slave and function, but the wrong length, data or echo
};

struct CModbusReplyCheck {
    ModbusVerdict verdict = ModbusVerdict::Incomplete;
    std::string reason;             // for Mismatch and BadChecksum
    std::vector<std::string> lines; // what an Ok or Exception reply carries
    ModbusMismatch mismatch = ModbusMismatch::None;
};

// Judges everything received after the request frame (both in one framing): the frame must come
// from the slave asked, carry the function asked (or its exception), as many coils or registers
// as asked, echo what a write asked, and nothing may follow it. A request that comes back as it
// went (an RS-485 adapter that hears itself) is named an echo. A reply to a broadcast (slave 0)
// is a mismatch.
CModbusReplyCheck CheckModbusReply(const std::vector<uint8_t>& requestFrame,
                                   const std::vector<uint8_t>& received, bool ascii);

// A request to slave 0, which every slave acts on and none answers.
bool IsBroadcastRequest(const std::vector<uint8_t>& requestFrame, bool ascii);

} // namespace brivox
