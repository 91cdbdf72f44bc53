// A block of coils or registers read again and again: the cycle, its reply and its statistics,
// with no port in sight. A driver (the command line's loop, the window's timer) writes what
// TakeRequest gives, hands over what arrives with its arrival time, and wakes at NextWake.
// Requests queued besides (a write, the addresses of a scan) go out one at a time between the
// reads, through the same discipline: one request on the line at once.
#pragma once

#include "modbus/ModbusFraming.h"
#include "modbus/ModbusPollStatistics.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace brivox {

struct CModbusPollDefinition {
    int slave = 1;
    int function = 0x03; // 01 coils, 02 discrete inputs, 03 holding, 04 input registers
    int start = 0;
    int count = 10;
    int intervalMs = 1000; // from one request to the next; 0: back to back
    int timeoutMs = 1000;  // from the request's last byte to the reply's last
    ModbusTransport transport = ModbusTransport::Rtu;
    bool periodic = true; // false: no read of its own, only the requests queued go out
};

// Error text naming the field that is out of range, empty when the poll can run.
std::string CheckModbusPollDefinition(const CModbusPollDefinition& definition);

// "exception 02 (illegal data address)".
std::string ModbusExceptionText(int code);

class CModbusPoll {
public:
    using Clock = std::chrono::steady_clock;

    // characterTime: one character on the line (zero over TCP); a request goes out only after
    // 3.5 of them without a byte received, so that the rest of a spoilt or late reply cannot be
    // taken for the next one.
    CModbusPoll(const CModbusPollDefinition& definition, std::chrono::nanoseconds characterTime);

    const CModbusPollDefinition& Definition() const { return m_definition; }

    // A request ADU to send once, before the next read; its cycle is counted like a read's.
    void Queue(std::vector<uint8_t> adu);
    size_t Queued() const { return m_queue.size(); }

    // The request frame to write now; empty while a reply is awaited, before the interval has
    // passed or while the line is not quiet.
    std::vector<uint8_t> TakeRequest(Clock::time_point now);
    // The request's last byte left at this moment (else the reply time runs from TakeRequest).
    void Sent(Clock::time_point lastByteOut);
    // Bytes received; true when they end the cycle (LastResult says how).
    bool Receive(const uint8_t* bytes, size_t count, Clock::time_point arrival);
    // True when the reply awaited has timed out, which ends the cycle.
    bool Expire(Clock::time_point now);
    // When TakeRequest or Expire may next have something to do without any byte arriving.
    Clock::time_point NextWake() const;

    bool Awaiting() const { return m_awaiting; }
    const CModbusPollResult& LastResult() const { return m_result; }
    const CModbusPollStatistics& Statistics() const { return m_statistics; }

private:
    Clock::time_point QuietUntil() const;
    Clock::time_point NextReadDue() const;
    void End(CModbusPollResult result);
    CModbusPollResult Judge(const CModbusReplyCheck& check, const std::vector<uint8_t>& adu,
                            Clock::time_point arrival) const;

    const CModbusPollDefinition m_definition;
    const std::chrono::nanoseconds m_quiet;
    const std::unique_ptr<CModbusFraming> m_framing;
    const std::vector<uint8_t> m_readAdu;
    std::deque<std::vector<uint8_t>> m_queue;
    std::vector<uint8_t> m_requestAdu; // of the cycle under way
    std::vector<uint8_t> m_received;
    bool m_awaiting = false;
    bool m_timedOut = false; // the last cycle ended by its time-out
    bool m_lateSeen = false; // bytes have come since that time-out
    Clock::time_point m_cycleStart = Clock::time_point::min();
    Clock::time_point m_sentAt;
    Clock::time_point m_lastReceived = Clock::time_point::min();
    CModbusPollResult m_result;
    CModbusPollStatistics m_statistics;
};

} // namespace brivox
