#pragma once

#include "cli/ListeningPort.h"
#include "cli/MasterLink.h"
#include "modbus/ModbusPoll.h"

#include <QBasicTimer>
#include <QEventLoop>
#include <QObject>
#include <functional>
#include <optional>

namespace brivox::cli {

// The port and the loop that drive a MODBUS master's requests (a poll's reads, the requests
// queued): a request when it is due, the replies as they come, a wake at the poll's next
// moment, and each cycle's result handed to the command.
class CMasterSession : public QObject {
public:
    // Returns false to end the session.
    using ResultHandler = std::function<bool(CModbusPoll& poll, const CModbusPollResult& result)>;

    CMasterSession(CModbusPollDefinition definition, ResultHandler onResult);

    CListeningPort& Port() { return m_port; }
    // Runs on the open port with these requests queued until the handler, Stop or the loss of
    // the port ends it: 0, or kPortError when the port went away.
    int Run(std::vector<std::vector<uint8_t>> queued);
    void Stop() { End(0); }
    // Whether Run started (the port opened), and its poll, for the statistics.
    bool Ran() const { return m_poll.has_value(); }
    const CModbusPoll& Poll() const { return *m_poll; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Receive(const uint8_t* bytes, int count, int64_t arrivalUs);
    void Pump();
    void Report();
    void End(int code);

    const CModbusPollDefinition m_definition;
    const ResultHandler m_onResult;
    QEventLoop m_loop;
    CListeningPort m_port;
    std::optional<CModbusPoll> m_poll;
    QBasicTimer m_wake;
    bool m_ending = false;
};

// Opens the link's port for the command and runs the session on it; kPortError, with the
// reason on err, when the port cannot be opened or goes away.
int RunMasterSession(CMasterSession& session, const CMasterLink& link, const char* command,
                     std::vector<std::vector<uint8_t>> queued, std::ostream& err);

} // namespace brivox::cli
