#include "transfer/TransferRunner.h"

#include <QStandardPaths>
#include <csignal>

namespace brivox {

namespace {

// What lrzsz itself sends to abort: ten CAN, then ten backspaces to wipe them from a terminal.
constexpr uint8_t kCancelSequence[] = {24, 24, 24, 24, 24, 24, 24, 24, 24, 24,
                                       8,  8,  8,  8,  8,  8,  8,  8,  8,  8};
constexpr int kEndWaitMs = 2000;

} // namespace

CTransferRunner::CTransferRunner(PortWriter toPort, ProgressHook progress, FinishedHook finished)
    : m_toPort(std::move(toPort)), m_onProgress(std::move(progress)),
      m_onFinished(std::move(finished)) {
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &CTransferRunner::ForwardOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, &CTransferRunner::ReadStatus);
    connect(&m_process, &QProcess::finished, this, &CTransferRunner::Finish);
    m_stall.setSingleShot(true);
    connect(&m_stall, &QTimer::timeout, this, &CTransferRunner::Stalled);
}

CTransferRunner::~CTransferRunner() {
    if (!IsRunning())
        return;
    m_onFinished = nullptr;
    Cancel();
    m_process.waitForFinished(kEndWaitMs);
}

std::string CTransferRunner::Start(const CTransferCommand& command, int stallMs) {
    if (IsRunning())
        return "a transfer is already running";
    const QString program = QStandardPaths::findExecutable(QString::fromStdString(command.program));
    if (program.isEmpty())
        return command.program + " was not found: install Debian's lrzsz package";
    QStringList args;
    for (const std::string& arg : command.args)
        args << QString::fromStdString(arg);
    m_program = command.program;
    m_progress = {};
    m_status = {};
    m_failure.clear();
    m_cancelled = false;
    m_process.setWorkingDirectory(QString::fromStdString(command.folder));
    m_process.start(program, args);
    if (!m_process.waitForStarted(kEndWaitMs))
        return command.program + " could not start: " + m_process.errorString().toStdString();
    m_stall.setInterval(stallMs);
    m_stall.start();
    return "";
}

void CTransferRunner::Receive(const uint8_t* bytes, size_t count) {
    if (!IsRunning() || m_cancelled)
        return;
    m_process.write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(count));
    m_stall.start();
}

void CTransferRunner::Cancel() {
    if (!IsRunning() || m_cancelled)
        return;
    m_cancelled = true;
    m_process.kill();
    m_toPort(kCancelSequence, sizeof kCancelSequence);
}

void CTransferRunner::ForwardOutput() {
    const QByteArray bytes = m_process.readAllStandardOutput();
    if (m_cancelled || bytes.isEmpty())
        return;
    m_stall.start();
    if (!m_toPort(reinterpret_cast<const uint8_t*>(bytes.constData()),
                  static_cast<size_t>(bytes.size()))) {
        m_failure = "the port could not be written";
        Cancel();
    }
}

void CTransferRunner::ReadStatus() {
    const QByteArray text = m_process.readAllStandardError();
    bool moved = false;
    for (const std::string& line : m_status.Feed({text.constData(), size_t(text.size())}))
        moved |= ReadLrzszStatus(line, m_progress);
    if (!text.isEmpty() && !m_cancelled)
        m_stall.start();
    if (moved && m_onProgress)
        m_onProgress(m_progress);
}

void CTransferRunner::Stalled() {
    m_failure = "nothing moved for " + std::to_string(m_stall.interval() / 1000) + " s";
    Cancel();
}

void CTransferRunner::Finish(int exitCode, QProcess::ExitStatus status) {
    m_stall.stop();
    ForwardOutput();
    ReadStatus();
    CTransferResult result;
    result.progress = m_progress;
    result.ok = !m_cancelled && status == QProcess::NormalExit && exitCode == 0;
    if (!m_failure.empty())
        result.error = m_failure;
    else if (m_cancelled)
        result.error = "cancelled";
    else if (!result.ok)
        result.error =
            m_program + " failed" + (m_status.LastLine().empty() ? "" : ": " + m_status.LastLine());
    if (m_onFinished)
        m_onFinished(result);
}

} // namespace brivox
