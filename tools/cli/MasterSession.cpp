#include "cli/MasterSession.h"

#include "cli/Cli.h"
#include "cli/RunPort.h"
#include "cli/StopSignals.h"

#include <QTimerEvent>
#include <algorithm>
#include <ostream>

namespace brivox::cli {

namespace {

constexpr std::chrono::milliseconds kLongestWake{60000};

} // namespace

CMasterSession::CMasterSession(CModbusPollDefinition definition, ResultHandler onResult)
    : m_definition(definition), m_onResult(std::move(onResult)),
      m_port(CPortEvents{
          [this](const uint8_t* b, const uint8_t*, int n, int64_t at) { Receive(b, n, at); },
          [this](const std::string&) { End(kPortError); }, [] {}, [this] { End(kPortError); },
          [](const CModemLines&, int64_t) {}}) {}

int CMasterSession::Run(std::vector<std::vector<uint8_t>> queued) {
    const bool tcp = m_definition.transport == ModbusTransport::Tcp;
    m_poll.emplace(m_definition, tcp ? std::chrono::nanoseconds(0) : m_port.LineCharacterTime());
    for (std::vector<uint8_t>& adu : queued)
        m_poll->Queue(std::move(adu));
    m_ending = false;
    Pump();
    return m_loop.exec();
}

void CMasterSession::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_wake.timerId())
        Pump();
}

void CMasterSession::Receive(const uint8_t* bytes, int count, int64_t arrivalUs) {
    const CModbusPoll::Clock::time_point arrival{std::chrono::microseconds(arrivalUs)};
    if (m_poll && m_poll->Receive(bytes, static_cast<size_t>(count), arrival))
        Report();
    Pump();
}

void CMasterSession::Pump() {
    if (m_ending || !m_poll)
        return;
    const auto now = CModbusPoll::Clock::now();
    if (m_poll->Expire(now))
        Report();
    if (m_ending)
        return;
    if (const std::vector<uint8_t> frame = m_poll->TakeRequest(now); !frame.empty()) {
        if (!m_port.Write(frame.data(), frame.size()))
            return End(kPortError);
        m_port.AwaitSent();
        m_poll->Sent(CModbusPoll::Clock::now());
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        std::min(m_poll->NextWake() - CModbusPoll::Clock::now(),
                 std::chrono::duration_cast<CModbusPoll::Clock::duration>(kLongestWake)));
    m_wake.start(std::max<int>(0, static_cast<int>(wait.count())), Qt::PreciseTimer, this);
}

void CMasterSession::Report() {
    if (!m_onResult(*m_poll, m_poll->LastResult()))
        End(0);
}

void CMasterSession::End(int code) {
    if (m_ending)
        return;
    m_ending = true;
    m_wake.stop();
    m_loop.exit(code);
}

int RunMasterSession(CMasterSession& session, const CMasterLink& link, const char* command,
                     std::vector<std::vector<uint8_t>> queued, std::ostream& err) {
    const CStopSignalWatch stop([&session] { session.Stop(); });
    if (!OpenRunPort(session.Port(), link.port, command, err, &stop))
        return kPortError;
    const int code = session.Run(std::move(queued));
    if (code == kPortError)
        err << "brivox-cli " << command << ": " << session.Port().GetLastError() << "\n";
    return code;
}

} // namespace brivox::cli
