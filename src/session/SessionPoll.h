#pragma once

#include "modbus/ModbusPoll.h"

#include <QBasicTimer>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace brivox {

class CLineTurn;
class CSerialPort;

// A MODBUS poll on a session's port, driven by the UI thread's timers: each request waits for
// the line's turn, which it holds until its reply or time-out, so that the form's sends and
// other polls never put a request on the line beside it. The bytes of its replies are its own;
// bytes between its cycles go to the form and still count for the line's quiet.
class CSessionPoll : public QObject {
public:
    struct CHooks {
        std::function<void(const CModbusPollResult& result)> cycle; // after every cycle
        std::function<void(const std::string& reason)> stopped;     // stopped by itself
    };

    CSessionPoll(CSerialPort& port, std::shared_ptr<CLineTurn> turn, CHooks hooks);
    ~CSessionPoll() override;

    // Error text, empty when the poll runs; a running poll starts again with the definition.
    std::string Start(const CModbusPollDefinition& definition);
    void Stop();
    bool Running() const { return m_running; }
    // The running or last poll, kept for its values and statistics after Stop; null before the
    // first start.
    const CModbusPoll* Poll() const { return m_poll.get(); }
    // A request sent once, before the next read (a write); false when the poll is not running.
    bool Queue(std::vector<uint8_t> adu);

    // Every byte the port receives; true when they belong to the poll's request.
    bool Take(const uint8_t* bytes, int count);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Pump();
    void WaitForTurn();
    void EndCycle();
    void Halt(const std::string& reason);
    void ReleaseTurn();

    CSerialPort& m_port;
    const std::shared_ptr<CLineTurn> m_turn;
    const CHooks m_hooks;
    const int m_freeListener;
    std::unique_ptr<CModbusPoll> m_poll;
    bool m_running = false;
    std::chrono::nanoseconds m_characterTime{0};
    QBasicTimer m_wake;
    bool m_holding = false;
};

} // namespace brivox
