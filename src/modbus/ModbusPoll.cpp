#include "modbus/ModbusPoll.h"

#include "modbus/ModbusDecoder.h"
#include "modbus/ModbusWrite.h"

#include <algorithm>
#include <cstdio>

namespace brivox {

namespace {

constexpr int kMaxBits = 2000;
constexpr int kMaxRegisters = 125;

// The coils or registers a reply carries (reads, and the read of function 17).
std::vector<uint16_t> ValuesOf(const std::vector<uint8_t>& adu,
                               const std::vector<uint8_t>& request) {
    std::vector<uint16_t> values;
    const int function = request[1];
    if (request.size() < 6 || function < 0x01 || (function > 0x04 && function != 0x17))
        return values;
    if (function <= 0x02) {
        const int count = request[4] << 8 | request[5];
        for (int i = 0; i < count && 3 + static_cast<size_t>(i / 8) < adu.size(); ++i)
            values.push_back((adu[3 + static_cast<size_t>(i / 8)] >> (i % 8)) & 1);
        return values;
    }
    for (size_t at = 3; at + 1 < adu.size(); at += 2)
        values.push_back(static_cast<uint16_t>(adu[at] << 8 | adu[at + 1]));
    return values;
}

ModbusPollOutcome OutcomeOf(const CModbusReplyCheck& check) {
    switch (check.verdict) {
    case ModbusVerdict::Ok:
        return ModbusPollOutcome::Valid;
    case ModbusVerdict::Exception:
        return ModbusPollOutcome::Exception;
    case ModbusVerdict::BadChecksum:
        return ModbusPollOutcome::BadChecksum;
    default:
        break;
    }
    switch (check.mismatch) {
    case ModbusMismatch::Slave:
        return ModbusPollOutcome::WrongSlave;
    case ModbusMismatch::Function:
        return ModbusPollOutcome::WrongFunction;
    default:
        return ModbusPollOutcome::WrongLength;
    }
}

} // namespace

std::string CheckModbusPollDefinition(const CModbusPollDefinition& d) {
    if (d.timeoutMs < 1 || d.timeoutMs > 60000)
        return "the time-out is 1 to 60000 ms";
    if (!d.periodic)
        return "";
    if (d.slave < 1 || d.slave > 247)
        return "the slave is 1 to 247 (a broadcast is never answered)";
    if (d.function < 0x01 || d.function > 0x04)
        return "the function is 01, 02, 03 or 04";
    const int most = d.function <= 0x02 ? kMaxBits : kMaxRegisters;
    if (d.count < 1 || d.count > most)
        return "the count is 1 to " + std::to_string(most) + " for function 0" +
               std::to_string(d.function);
    if (d.start < 0 || d.start + d.count > 0x10000)
        return "the start and count reach past address FFFF";
    if (d.intervalMs < 0 || d.intervalMs > 3600000)
        return "the interval is 0 to 3600000 ms";
    return "";
}

std::string ModbusExceptionText(int code) {
    char text[24];
    std::snprintf(text, sizeof text, "exception %02X", code & 0xFF);
    const std::string name = ModbusExceptionName(code);
    return name.empty() ? text : std::string(text) + " (" + name + ")";
}

CModbusPoll::CModbusPoll(const CModbusPollDefinition& definition,
                         std::chrono::nanoseconds characterTime)
    : m_definition(definition), m_quiet(characterTime * 7 / 2),
      m_framing(MakeModbusFraming(definition.transport)),
      m_readAdu(ModbusReadAdu(definition.slave, definition.function, definition.start,
                              definition.count)) {}

void CModbusPoll::Queue(std::vector<uint8_t> adu) {
    m_queue.push_back(std::move(adu));
}

CModbusPoll::Clock::time_point CModbusPoll::QuietUntil() const {
    return m_lastReceived == Clock::time_point::min() ? m_lastReceived : m_lastReceived + m_quiet;
}

CModbusPoll::Clock::time_point CModbusPoll::NextReadDue() const {
    if (!m_definition.periodic)
        return Clock::time_point::max();
    return m_cycleStart == Clock::time_point::min()
               ? m_cycleStart
               : m_cycleStart + std::chrono::milliseconds(m_definition.intervalMs);
}

std::vector<uint8_t> CModbusPoll::TakeRequest(Clock::time_point now) {
    if (m_awaiting || now < QuietUntil())
        return {};
    if (!m_queue.empty()) {
        m_requestAdu = std::move(m_queue.front());
        m_queue.pop_front();
    } else if (now >= NextReadDue()) {
        m_requestAdu = m_readAdu;
        m_cycleStart = now;
    } else
        return {};
    m_awaiting = true;
    m_sentAt = now;
    if (!m_framing->IsStream())
        m_received.clear();
    ++m_statistics.requests;
    return m_framing->Frame(m_requestAdu);
}

void CModbusPoll::Sent(Clock::time_point lastByteOut) {
    if (m_awaiting)
        m_sentAt = lastByteOut;
}

bool CModbusPoll::Receive(const uint8_t* bytes, size_t count, Clock::time_point arrival) {
    if (count == 0)
        return false;
    m_lastReceived = arrival;
    if (!m_awaiting && m_framing->IsStream()) {
        // A late reply, kept whole so that the next cycle can tell it from its own.
        m_received.insert(m_received.end(), bytes, bytes + count);
        return false;
    }
    if (!m_awaiting) {
        // The rest of a reply that came too late: counted once, and the line left to settle.
        if (m_timedOut && !m_lateSeen)
            ++m_statistics.late;
        m_lateSeen = true;
        return false;
    }
    m_received.insert(m_received.end(), bytes, bytes + count);
    std::vector<uint8_t> adu;
    const CModbusReplyCheck check = m_framing->Check(m_received, adu);
    m_statistics.late += m_framing->TakeStaleFrames();
    if (check.verdict == ModbusVerdict::Incomplete)
        return false;
    m_received.clear();
    End(Judge(check, adu, arrival));
    return true;
}

CModbusPollResult CModbusPoll::Judge(const CModbusReplyCheck& check,
                                     const std::vector<uint8_t>& adu,
                                     Clock::time_point arrival) const {
    CModbusPollResult result;
    result.outcome = OutcomeOf(check);
    result.request = m_requestAdu;
    if (result.outcome == ModbusPollOutcome::Valid ||
        result.outcome == ModbusPollOutcome::Exception)
        // The reply can be read before the driver learns that the request has left.
        result.replyMicros = std::max<int64_t>(
            0, std::chrono::duration_cast<std::chrono::microseconds>(arrival - m_sentAt).count());
    if (result.outcome == ModbusPollOutcome::Valid) {
        result.values = ValuesOf(adu, m_requestAdu);
        result.reply = adu;
    } else if (result.outcome == ModbusPollOutcome::Exception) {
        result.reply = adu;
        result.exceptionCode = adu.size() > 2 ? adu[2] : 0;
        result.error = ModbusExceptionText(result.exceptionCode);
    } else
        result.error = check.reason;
    return result;
}

bool CModbusPoll::Expire(Clock::time_point now) {
    if (!m_awaiting || now < m_sentAt + std::chrono::milliseconds(m_definition.timeoutMs))
        return false;
    CModbusPollResult result;
    result.request = m_requestAdu;
    result.error = "no reply within " + std::to_string(m_definition.timeoutMs) + " ms";
    if (!m_received.empty())
        result.error += " (" + std::to_string(m_received.size()) + " bytes of no whole reply)";
    End(std::move(result));
    return true;
}

void CModbusPoll::End(CModbusPollResult result) {
    m_awaiting = false;
    m_timedOut = result.outcome == ModbusPollOutcome::TimedOut;
    m_lateSeen = false;
    m_statistics.Count(result);
    m_result = std::move(result);
}

CModbusPoll::Clock::time_point CModbusPoll::NextWake() const {
    if (m_awaiting)
        return m_sentAt + std::chrono::milliseconds(m_definition.timeoutMs);
    return std::max(QuietUntil(), m_queue.empty() ? NextReadDue() : Clock::time_point::min());
}

} // namespace brivox
