#pragma once

#include "cli/RunOptions.h"
#include "cli/TrafficLog.h"
#include "options/OptionStore.h"
#include "script/ScriptExecutor.h"
#include "serial/SerialPort.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

class QCoreApplication;

namespace brivox::cli {

class CStopSignalWatch;

using Clock = std::chrono::steady_clock;

// The event loop of a command that works a port; made at the first call.
QCoreApplication& EventLoop();

// Opens the port the options name with their line settings (with reconnecting on, waits up to
// the options' time limit for a device that is not there yet); false after saying why on err
// ("brivox-cli COMMAND: Cannot open COM5 ..."). An open port whose serial server could not apply
// everything is said on err too. A stop signal that the watch sees ends the open and the wait
// at once, as Interrupted.
bool OpenRunPort(CSerialPort& port, const CRunOptions& options, const std::string& command,
                 std::ostream& err, const CStopSignalWatch* stop = nullptr);

// A port that runs scripts: received bytes go to the run state and the traffic log on the event
// loop's thread; sent bytes are logged as the worker reports them.
class CRunPort : public CSerialPort, public CScriptHost {
public:
    CRunPort(const COptionStore& options, std::ostream& traffic)
        : m_options(options), m_traffic(traffic) {}
    ~CRunPort() override { Close(); }

    int32_t ReadIntOption(const std::string& name, int32_t fallback) override {
        return m_options.GetInt(name, fallback);
    }
    bool WriteToPort(const uint8_t* data, int32_t count) override;
    void SetRts(bool raised) override;
    void Report(uint8_t byte, ByteReport kind) override;
    CScriptRunState& RunState() override { return m_state; }

    // Milliseconds since the last byte went out or was compared.
    int64_t QuietMs() const;
    int64_t ReceiveQuietMs() const;
    bool Lost() const { return m_lost; }
    // Ends the waits at once (a stop signal), on the event loop's thread.
    void Interrupt() { m_interrupted = true; }
    bool Interrupted() const { return m_interrupted; }
    // Reply bytes compared so far, and the index among them of the first that differed (-1).
    int Compared() const { return m_compared; }
    int FirstMismatch() const { return m_firstMismatch; }
    // Forgets the comparisons of an earlier run.
    void ResetComparisons();
    std::vector<uint8_t> Reply() const {
        return m_state.ResponseBytes(CScriptRunState::kResponseLimit);
    }
    // The index of the first reply byte that came with a line error, or -1.
    int FirstLineError() const;
    CTrafficLog& Traffic() { return m_traffic; }

protected:
    void OnReceive(const uint8_t* bytes, int count) override;
    void OnReceiveMarked(const uint8_t* bytes, const uint8_t* marks, int count) override;
    void OnPortLost() override { m_lost = true; }

private:
    void Touch() { m_lastActivity = Clock::now(); }

    const COptionStore& m_options;
    CTrafficLog m_traffic;
    CScriptRunState m_state;
    std::atomic<Clock::time_point> m_lastActivity{Clock::now()};
    Clock::time_point m_lastReceived = Clock::now();
    std::atomic<int> m_compared{0};
    std::atomic<int> m_firstMismatch{-1};
    bool m_lost = false;
    bool m_interrupted = false;
};

enum class WaitEnd { Done, TimedOut, Lost, Interrupted };

// How a wait stands: over (0), or the longest sleep before it must be looked at again without
// an event (-1: only an event or the time limit can change it).
using WaitCheck = std::function<int()>;

// Sleeps in the event loop, which delivers received bytes and the port's end, until the check
// says the wait is over, the device goes away, the port is interrupted or has been quiet for the
// time limit.
WaitEnd WaitFor(const WaitCheck& check, const CRunPort& port, int timeoutMs);

struct CScriptRun {
    WaitEnd end = WaitEnd::Done;
    RunOutcome outcome = RunOutcome::Completed;
};

// Runs the items on a worker while the event loop delivers the replies; a run that waits longer
// than the time limit is stopped.
CScriptRun RunScript(const std::vector<CJPItem>& items, CRunPort& port, int timeoutMs);

// After a MODBUS request went out: waits until a whole reply has come and the line has settled.
WaitEnd AwaitModbusReply(const std::vector<uint8_t>& request, bool ascii, CRunPort& port,
                         int timeoutMs);

// The expect item that holds the n-th compared reply byte, or nullptr.
const CJPItem* ExpectItemOf(const std::vector<CJPItem>& items, int n);

} // namespace brivox::cli
