#pragma once

#include "serial/SerialPort.h"

#include <cstdint>
#include <functional>
#include <string>

namespace brivox::cli {

// What a listening port reports, on the event loop's thread.
struct CPortEvents {
    // A chunk (marks: a LineMark a byte, or null), with the time its read returned on the
    // reader thread: the time the event loop needs to deliver it does not count.
    std::function<void(const uint8_t* bytes, const uint8_t* marks, int count, int64_t arrivalUs)>
        receive;
    std::function<void(const std::string& reason)> lost; // reconnecting: waited for
    std::function<void()> back;
    std::function<void()> ended; // not reconnecting: the monitor ends
    std::function<void(const CModemLines& lines, int64_t atUs)> modem;
};

// A port that only listens.
class CListeningPort : public CSerialPort {
public:
    explicit CListeningPort(CPortEvents events) : m_events(std::move(events)) {}
    ~CListeningPort() override { Close(); }

protected:
    void OnReceive(const uint8_t* bytes, int count) override {
        OnReceiveMarked(bytes, nullptr, count);
    }
    void OnReceiveMarked(const uint8_t* bytes, const uint8_t* marks, int count) override;
    void OnPortLost() override;
    void OnPortReopened() override { m_events.back(); }
    void OnModemLinesChanged(const CModemLines& lines, CPortReader::Clock::time_point at) override;

private:
    const CPortEvents m_events;
};

} // namespace brivox::cli
