#include "session/SessionPoll.h"

#include "serial/SerialPort.h"
#include "session/LineTurn.h"

#include <QMetaObject>
#include <QTimerEvent>
#include <algorithm>

namespace brivox {

namespace {

using Clock = CModbusPoll::Clock;

constexpr std::chrono::milliseconds kLongestWake{60000};

} // namespace

CSessionPoll::CSessionPoll(CSerialPort& port, std::shared_ptr<CLineTurn> turn, CHooks hooks)
    : m_port(port), m_turn(std::move(turn)), m_hooks(std::move(hooks)),
      m_freeListener(m_turn->AddFreeListener([this] {
          QMetaObject::invokeMethod(
              this, [this] { Pump(); }, Qt::QueuedConnection);
      })) {}

CSessionPoll::~CSessionPoll() {
    m_turn->RemoveFreeListener(m_freeListener);
    ReleaseTurn();
}

std::string CSessionPoll::Start(const CModbusPollDefinition& definition) {
    if (std::string error = CheckModbusPollDefinition(definition); !error.empty())
        return error;
    if (definition.transport == ModbusTransport::Tcp)
        return "a session's port carries RTU or ASCII";
    if (!m_port.IsOpen())
        return "the port is not open";
    Stop();
    m_characterTime = m_port.LineCharacterTime();
    m_poll = std::make_unique<CModbusPoll>(definition, m_characterTime);
    m_running = true;
    Pump();
    return "";
}

void CSessionPoll::Stop() {
    m_wake.stop();
    ReleaseTurn();
    m_running = false;
}

bool CSessionPoll::Queue(std::vector<uint8_t> adu) {
    if (!m_running)
        return false;
    m_poll->Queue(std::move(adu));
    Pump();
    return true;
}

bool CSessionPoll::Take(const uint8_t* bytes, int count) {
    if (!m_running)
        return false;
    const bool own = m_holding;
    if (m_poll->Receive(bytes, static_cast<size_t>(count), Clock::now()) && own)
        EndCycle();
    Pump();
    return own;
}

void CSessionPoll::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_wake.timerId())
        Pump();
}

void CSessionPoll::Pump() {
    if (!m_running)
        return;
    const Clock::time_point now = Clock::now();
    if (m_poll->Expire(now))
        EndCycle();
    if (!m_running)
        return;
    const bool due = !m_poll->Awaiting() && m_poll->NextWake() <= now;
    if (due && !m_holding && !m_turn->TryAcquire())
        return WaitForTurn();
    if (due) {
        m_holding = true;
        const std::vector<uint8_t> frame = m_poll->TakeRequest(now);
        if (frame.empty())
            ReleaseTurn();
        else if (!m_port.IsOpen() || !m_port.Write(frame.data(), frame.size()))
            return Halt("the port could not be written");
        else // not waited for: the UI thread does not block while the request goes out
            m_poll->Sent(now + m_characterTime * static_cast<int64_t>(frame.size()));
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        std::min<Clock::duration>(m_poll->NextWake() - Clock::now(), kLongestWake));
    m_wake.start(std::max<int>(0, static_cast<int>(wait.count())), Qt::PreciseTimer, this);
}

// Woken when the line is let go, or when the answer to the form's send is due at the latest.
void CSessionPoll::WaitForTurn() {
    const Clock::time_point due = m_turn->AnswerDue();
    if (due == Clock::time_point::max())
        return m_wake.stop();
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
    m_wake.start(std::max<int>(1, static_cast<int>(wait.count())), Qt::PreciseTimer, this);
}

void CSessionPoll::EndCycle() {
    ReleaseTurn();
    if (m_hooks.cycle)
        m_hooks.cycle(m_poll->LastResult());
}

void CSessionPoll::Halt(const std::string& reason) {
    Stop();
    if (m_hooks.stopped)
        m_hooks.stopped(reason);
}

void CSessionPoll::ReleaseTurn() {
    if (std::exchange(m_holding, false))
        m_turn->Release();
}

} // namespace brivox
