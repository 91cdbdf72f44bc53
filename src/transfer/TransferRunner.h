// One lrzsz transfer over an open port: the program's standard input takes what the port
// receives, its standard output goes to the port, and its status lines give the progress.
#pragma once

#include "transfer/TransferProgress.h"
#include "transfer/TransferProtocol.h"

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

namespace brivox {

struct CTransferResult {
    bool ok = false;
    std::string error; // empty when ok: why the transfer failed, in lrzsz's words if it gave any
    CTransferProgress progress;
};

class CTransferRunner : public QObject {
    Q_OBJECT

public:
    // Writes bytes to the port; false when they could not be written.
    using PortWriter = std::function<bool(const uint8_t* bytes, size_t count)>;
    using ProgressHook = std::function<void(const CTransferProgress&)>;
    using FinishedHook = std::function<void(const CTransferResult&)>;

    CTransferRunner(PortWriter toPort, ProgressHook progress, FinishedHook finished);
    // Ends a running transfer as Cancel does, and waits for the program to go.
    ~CTransferRunner() override;

    // Starts the program; an error text when it cannot (a missing lrzsz names the package).
    // Nothing received, sent or said for stallMs cancels it: a program that waits for a
    // byte that was lost would otherwise wait for ever.
    std::string Start(const CTransferCommand& command, int stallMs = kStallMs);
    static constexpr int kStallMs = 60000;
    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }
    // Bytes the port received, for the program while it runs.
    void Receive(const uint8_t* bytes, size_t count);
    // Ends the program by its PID and tells the far end with lrzsz's cancel sequence; the
    // finished hook then reports "cancelled".
    void Cancel();

private:
    void ForwardOutput();
    void ReadStatus();
    void Finish(int exitCode, QProcess::ExitStatus status);
    void Stalled();

    PortWriter m_toPort;
    ProgressHook m_onProgress;
    FinishedHook m_onFinished;
    QProcess m_process;
    QTimer m_stall;
    CStatusLines m_status;
    CTransferProgress m_progress;
    std::string m_program;
    std::string m_failure;
    bool m_cancelled = false;
};

} // namespace brivox
