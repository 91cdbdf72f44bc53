#pragma once

#include "transfer/PacedUpload.h"
#include "transfer/TransferRunner.h"

#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <string>

namespace brivox {

class CSerialPort;

// A session's file transfer, one at a time. While it runs, what the port receives goes to it
// alone, and its bytes stay out of the traffic lists: its end is one line ("sent FILE, N bytes,
// X KB/s") for the dialog and the port's capture.
class CSessionTransfer {
public:
    struct CHooks {
        std::function<void(int64_t bytes, int64_t total)> progress;
        std::function<void(const std::string& line, bool ok)> finished;
    };

    explicit CSessionTransfer(CSerialPort& port) : m_port(port) {}
    void SetHooks(CHooks hooks) { m_hooks = std::move(hooks); }

    // Error texts, empty when the transfer started.
    std::string Send(const std::string& file, TransferProtocol protocol, const CPacing& pacing);
    std::string Receive(const std::string& folder, const std::string& xmodemName,
                        TransferProtocol protocol);
    bool Running() const;
    // True when a running transfer took the bytes.
    bool Take(const uint8_t* bytes, int count);
    void Cancel();
    // The mean rate of these bytes since the transfer started, "87.2 KB/s".
    std::string Rate(int64_t bytes) const;

private:
    std::string Begin(const std::string& what, int64_t total);
    bool Write(const uint8_t* bytes, size_t count);
    void Progress(int64_t bytes);
    void Finish(const std::string& error, int64_t bytes);

    CSerialPort& m_port;
    CHooks m_hooks;
    std::unique_ptr<CTransferRunner> m_runner;
    std::unique_ptr<CPacedUpload> m_upload;
    QElapsedTimer m_clock;
    std::string m_what;
    int64_t m_total = -1;
};

} // namespace brivox
