// How MODBUS ADUs travel on a link: RTU (binary with a CRC), ASCII (hex with an LRC) on a serial
// line, or TCP (an MBAP header with a transaction id) on a socket. A poll speaks through one
// of these and never knows which.
#pragma once

#include "modbus/ModbusReply.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace brivox {

enum class ModbusTransport { Rtu, Ascii, Tcp };

class CModbusFraming {
public:
    virtual ~CModbusFraming() = default;

    // The frame of a request ADU (slave or unit id, function, data).
    virtual std::vector<uint8_t> Frame(const std::vector<uint8_t>& adu) = 0;
    // Judges what was received since the request framed last; for an Ok or Exception verdict,
    // adu is the reply's. Frames that answer an earlier request (a TCP reply with an older
    // transaction id) are taken off the front of received and counted in StaleFrames.
    virtual CModbusReplyCheck Check(std::vector<uint8_t>& received, std::vector<uint8_t>& adu) = 0;
    // Replies to earlier requests dropped by Check since the last call.
    virtual int TakeStaleFrames() { return 0; }
    // A stream (TCP) keeps its frames whole and in order, so bytes that come between cycles
    // belong to the frames that follow; a serial line's are the rest of a spoilt reply.
    virtual bool IsStream() const { return false; }
};

std::unique_ptr<CModbusFraming> MakeModbusFraming(ModbusTransport transport);

} // namespace brivox
