#include "cli/RunPort.h"

#include "cli/StopSignals.h"
#include "modbus/ModbusReply.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <ostream>
#include <thread>

namespace brivox::cli {

namespace {

// A MODBUS reply is judged once the line has been quiet this long after it: bytes that follow a
// frame belong to the answer too.
constexpr int kReplySettleMs = 50;

int64_t MillisecondsSince(Clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// With reconnecting on, a device that is not there yet is waited for up to the time limit.
bool AwaitDevice(CSerialPort& port, int timeoutMs, const CStopSignalWatch* stop,
                 const std::string& command, std::ostream& err) {
    if (!port.Reconnect() || port.GetLastErrorKind() == PortError::Interrupted)
        return false;
    err << "brivox-cli " << command << ": " << port.GetLastError() << "; waiting up to "
        << timeoutMs << " ms for the device" << std::endl;
    port.WaitForDevice();
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(timeoutMs);
    const auto stopped = [stop] { return stop != nullptr && stop->Requested(); };
    while (!port.IsOpen() && limit.isActive() && !stopped())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!port.IsOpen())
        port.Close(); // ends the wait
    return port.IsOpen();
}

} // namespace

QCoreApplication& EventLoop() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "brivox-cli";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
    return *QCoreApplication::instance();
}

bool OpenRunPort(CSerialPort& port, const CRunOptions& options, const std::string& command,
                 std::ostream& err, const CStopSignalWatch* stop) {
    port.SetCommPort(options.portNumber);
    port.SetDevicePath(options.devicePath);
    port.SetSettings(options.settings);
    port.SetFlowControl(options.flow);
    port.SetLinePolicy(options.policy);
    port.SetRs485(options.rs485);
    port.SetCancelDescriptor(stop != nullptr ? stop->Descriptor() : -1);
    const bool opened = port.Open() || AwaitDevice(port, options.timeoutMs, stop, command, err);
    port.SetCancelDescriptor(-1);
    if (opened) {
        if (!port.GetLastError().empty()) // what the device could not do as asked
            err << "brivox-cli " << command << ": " << port.GetLastError() << "\n";
        if (!port.RunPulse(options.pulse)) {
            err << "brivox-cli " << command << ": --pulse: the device has no DTR or RTS to set\n";
            return false;
        }
        return true;
    }
    err << "brivox-cli " << command << ": " << port.GetLastError();
    if (stop != nullptr && stop->Requested())
        err << " (interrupted while waiting for the device)";
    else if (port.GetLastErrorKind() == PortError::NoSuchPort)
        err << " (brivox-cli ports lists the ports; --port also takes a device path)";
    err << "\n";
    return false;
}

void CRunPort::SetRts(bool raised) {
    if (!raised)
        AwaitSent();
    SetRTS(raised);
}

bool CRunPort::WriteToPort(const uint8_t* data, int32_t count) {
    Touch();
    return Write(data, static_cast<size_t>(count));
}

int CRunPort::FirstLineError() const {
    const std::vector<bool> marked = m_state.ResponseLineErrors(CScriptRunState::kResponseLimit);
    const auto at = std::find(marked.begin(), marked.end(), true);
    return at == marked.end() ? -1 : static_cast<int>(at - marked.begin());
}

void CRunPort::Report(uint8_t byte, ByteReport kind) {
    Touch();
    if (kind == ByteReport::Sent) {
        m_traffic.Add(CTrafficLog::Direction::Tx, &byte, 1);
        return;
    }
    if (kind == ByteReport::Mismatch && m_firstMismatch < 0)
        m_firstMismatch = m_compared.load();
    ++m_compared;
}

int64_t CRunPort::QuietMs() const {
    return MillisecondsSince(m_lastActivity.load());
}

int64_t CRunPort::ReceiveQuietMs() const {
    return MillisecondsSince(m_lastReceived);
}

void CRunPort::ResetComparisons() {
    m_compared = 0;
    m_firstMismatch = -1;
    Touch();
}

void CRunPort::OnReceive(const uint8_t* bytes, int count) {
    OnReceiveMarked(bytes, nullptr, count);
}

void CRunPort::OnReceiveMarked(const uint8_t* bytes, const uint8_t* marks, int count) {
    m_state.OnReceived(bytes, count, marks);
    m_traffic.Add(CTrafficLog::Direction::Rx, bytes, static_cast<size_t>(count));
    m_lastReceived = Clock::now();
}

WaitEnd WaitFor(const WaitCheck& check, const CRunPort& port, int timeoutMs) {
    QTimer wake;
    wake.setSingleShot(true);
    for (;;) {
        if (port.Lost())
            return WaitEnd::Lost;
        if (port.Interrupted())
            return WaitEnd::Interrupted;
        const int recheckMs = check();
        if (recheckMs == 0)
            return WaitEnd::Done;
        const int64_t left = timeoutMs - port.QuietMs();
        if (left <= 0)
            return WaitEnd::TimedOut;
        wake.start(static_cast<int>(recheckMs < 0 ? left : std::min<int64_t>(left, recheckMs)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

CScriptRun RunScript(const std::vector<CJPItem>& items, CRunPort& port, int timeoutMs) {
    port.ResetComparisons();
    port.RunState().SetSending(true);
    std::atomic<bool> finished{false};
    CScriptRun run;
    std::thread worker([&] {
        run.outcome = JPExecute(items, port, true);
        finished = true;
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::User));
    });
    run.end = WaitFor([&] { return finished ? 0 : -1; }, port, timeoutMs);
    if (run.end != WaitEnd::Done)
        port.RunState().SetSending(false); // wakes a run that waits for a reply
    worker.join();
    return run;
}

WaitEnd AwaitModbusReply(const std::vector<uint8_t>& request, bool ascii, CRunPort& port,
                         int timeoutMs) {
    return WaitFor(
        [&] {
            if (CheckModbusReply(request, port.Reply(), ascii).verdict == ModbusVerdict::Incomplete)
                return -1;
            return static_cast<int>(std::max<int64_t>(0, kReplySettleMs - port.ReceiveQuietMs()));
        },
        port, timeoutMs);
}

const CJPItem* ExpectItemOf(const std::vector<CJPItem>& items, int n) {
    for (const CJPItem& item : items) {
        if (item.kind != JPItemKind::Expect)
            continue;
        if (n < item.bytes.GetLength())
            return &item;
        n -= item.bytes.GetLength();
    }
    return nullptr;
}

} // namespace brivox::cli
