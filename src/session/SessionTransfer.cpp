#include "session/SessionTransfer.h"

#include "platform/FileIO.h"
#include "serial/SerialPort.h"
#include "transfer/TransferProgress.h"

#include <filesystem>

namespace brivox {

std::string CSessionTransfer::Begin(const std::string& what, int64_t total) {
    if (Running())
        return "a transfer is already running";
    if (!m_port.IsOpen())
        return "the port is not open";
    m_what = what;
    m_total = total;
    m_clock.start();
    return "";
}

std::string CSessionTransfer::Send(const std::string& file, TransferProtocol protocol,
                                   const CPacing& pacing) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return "cannot read " + file;
    if (std::string busy = Begin("sent " + file, static_cast<int64_t>(size)); !busy.empty())
        return busy;
    auto write = [this](const uint8_t* bytes, size_t count) { return Write(bytes, count); };
    if (protocol != TransferProtocol::Raw) {
        m_runner = std::make_unique<CTransferRunner>(
            write, [this](const CTransferProgress& p) { Progress(p.bytes); },
            [this](const CTransferResult& r) { Finish(r.error, m_total); });
        return m_runner->Start(SendCommand(protocol, {file}));
    }
    std::string content;
    if (!ReadWholeFile(file, content))
        return "cannot read " + file;
    m_upload = std::make_unique<CPacedUpload>(
        write, [this](const CUploadProgress& p) { Progress(p.bytes); },
        [this](const std::string& e) { Finish(e, m_upload->Progress().bytes); });
    m_upload->Start(std::move(content), pacing);
    return "";
}

std::string CSessionTransfer::Receive(const std::string& folder, const std::string& xmodemName,
                                      TransferProtocol protocol) {
    if (protocol == TransferProtocol::Raw)
        return "raw has no end to receive to";
    if (std::string busy = Begin("received into " + folder, -1); !busy.empty())
        return busy;
    m_runner = std::make_unique<CTransferRunner>(
        [this](const uint8_t* bytes, size_t count) { return Write(bytes, count); },
        [this](const CTransferProgress& p) {
            m_total = p.total;
            Progress(p.bytes);
        },
        [this](const CTransferResult& r) { Finish(r.error, r.progress.bytes); });
    return m_runner->Start(ReceiveCommand(protocol, folder, xmodemName));
}

bool CSessionTransfer::Running() const {
    return (m_runner && m_runner->IsRunning()) || (m_upload && m_upload->IsRunning());
}

bool CSessionTransfer::Take(const uint8_t* bytes, int count) {
    if (m_runner && m_runner->IsRunning())
        m_runner->Receive(bytes, static_cast<size_t>(count));
    else if (m_upload && m_upload->IsRunning())
        m_upload->Receive(bytes, static_cast<size_t>(count));
    else
        return false;
    return true;
}

void CSessionTransfer::Cancel() {
    if (m_runner)
        m_runner->Cancel();
    if (m_upload)
        m_upload->Cancel();
}

bool CSessionTransfer::Write(const uint8_t* bytes, size_t count) {
    return m_port.IsOpen() && m_port.Write(bytes, count);
}

void CSessionTransfer::Progress(int64_t bytes) {
    if (m_hooks.progress)
        m_hooks.progress(bytes, m_total);
}

std::string CSessionTransfer::Rate(int64_t bytes) const {
    return RateText(bytes, static_cast<double>(m_clock.elapsed()) / 1000.0);
}

void CSessionTransfer::Finish(const std::string& error, int64_t bytes) {
    const std::string line = error.empty()
                                 ? m_what + ", " + std::to_string(bytes) + " bytes, " + Rate(bytes)
                                 : "transfer failed: " + error;
    if (const std::shared_ptr<CCaptureSink> capture = m_port.Capture())
        capture->AddNote(line, std::chrono::steady_clock::now());
    if (m_hooks.finished)
        m_hooks.finished(line, error.empty());
}

} // namespace brivox
