#pragma once

#include "modbus/ModbusDecoder.h"
#include "testbench/FrameSplitter.h"

#include <cstdint>
#include <string>

namespace brivox {

// Pairs each MODBUS reply with the request it answers, on one port or across the ports of a
// timeline (a request heard on the master's wire, its reply on the slave's): a reply or
// exception of the slave and function of the last request not yet answered. The reply time runs
// from the request's last byte to the reply's first, the device's own turnaround.
class CReplyPairing {
public:
    struct CPair {
        int64_t replyUs = -1; // -1: the frame answers no request
        std::string requestPort;
    };

    // Frames in the order they began, with what the decoder made of them.
    CPair Note(const std::string& port, const CLineFrame& frame, const CModbusFrameInfo& info);

    int64_t Pairs() const { return m_pairs; }
    int64_t ShortestUs() const { return m_shortestUs; }
    int64_t LongestUs() const { return m_longestUs; }

private:
    bool m_waiting = false; // a request waits for its reply
    std::string m_requestPort;
    int64_t m_requestEndUs = 0;
    int m_slave = -1;
    int m_function = -1;
    int64_t m_pairs = 0;
    int64_t m_shortestUs = -1;
    int64_t m_longestUs = -1;
};

} // namespace brivox
