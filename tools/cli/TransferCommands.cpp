#include "cli/TransferCommands.h"

#include "cli/ListeningPort.h"
#include "cli/RunOptions.h"
#include "cli/RunPort.h"
#include "cli/StopSignals.h"
#include "cli/TransferProgressLine.h"
#include "platform/FileIO.h"
#include "transfer/PacedUpload.h"
#include "transfer/TransferRunner.h"

#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <iostream>

namespace brivox::cli {

namespace {

constexpr int kTransferFailed = 1;
constexpr int kLingerMs = 100;

// The port, and the loop that runs one transfer on it: what the port receives goes to the
// transfer alone. The loop's exit code is the command's.
class CTransferSession {
public:
    explicit CTransferSession(CCliStreams& io)
        : m_port(CPortEvents{
              [this](const uint8_t* b, const uint8_t*, int n, int64_t) { m_receive(b, n); },
              [this](const std::string& reason) { PortGone(reason); }, [] {},
              [this] { PortGone(m_port.GetLastError()); }, [](const CModemLines&, int64_t) {}}),
          m_progress(io.err, &io.err == &std::cerr), m_io(io) {}
    // The transfer goes first, while the port it may still write to is here.
    ~CTransferSession() { m_release(); }

    CListeningPort& Port() { return m_port; }
    CTransferProgressLine& Progress() { return m_progress; }
    bool Write(const uint8_t* bytes, size_t count) { return m_port.Write(bytes, count); }
    void OnReceive(std::function<void(const uint8_t*, int)> receive) {
        m_receive = std::move(receive);
    }
    void OnStop(std::function<void()> stop) { m_stop = std::move(stop); }
    void OnRelease(std::function<void()> release) { m_release = std::move(release); }
    void Stop() { m_stop(); }
    int Run() { return m_loop.exec(); }
    void Finish(const std::string& error, const std::string& done) {
        m_progress.End();
        if (error.empty())
            m_io.err << done << "\n";
        else
            m_io.err << m_command << ": " << error << "\n";
        const int code = error.empty() ? 0 : m_portGone ? kPortError : kTransferFailed;
        // Closing purges the line: the program's last bytes (its final ACK) must be out and
        // read by the far end first, or the far sender waits for them in vain.
        m_port.AwaitSent();
        QTimer::singleShot(kLingerMs, &m_loop, [this, code] { m_loop.exit(code); });
    }
    void SetCommand(std::string command) { m_command = std::move(command); }

private:
    void PortGone(const std::string& reason) {
        m_portGone = true;
        m_io.err << m_command << ": the port went away: " << reason << "\n";
        m_stop();
    }

    CListeningPort m_port;
    CTransferProgressLine m_progress;
    CCliStreams& m_io;
    QEventLoop m_loop;
    std::function<void(const uint8_t*, int)> m_receive = [](const uint8_t*, int) {};
    std::function<void()> m_stop = [] {};
    std::function<void()> m_release = [] {};
    std::string m_command;
    bool m_portGone = false;
};

std::string ParseDelay(const CCliArguments& args, const char* name, int& ms) {
    constexpr int kMaxDelayMs = 60000;
    if (args.Has(name) && !NumberIn(args.Value(name), 0, kMaxDelayMs, ms))
        return std::string(name) + " " + args.Value(name) + ": give milliseconds from 0 to " +
               std::to_string(kMaxDelayMs);
    return "";
}

std::string ParsePacing(const CCliArguments& args, int timeoutMs, CPacing& pacing) {
    pacing.prompt = args.Value("--wait-prompt");
    pacing.waitEcho = args.Has("--wait-echo");
    pacing.timeoutMs = timeoutMs;
    std::string error = ParseDelay(args, "--char-delay", pacing.charDelayMs);
    return error.empty() ? ParseDelay(args, "--line-delay", pacing.lineDelayMs) : error;
}

// Opens the port and runs start(session) in the loop; the command's exit code.
int RunOnPort(const CRunOptions& options, CCliStreams& io, const std::string& command,
              const std::function<std::string(CTransferSession&)>& start) {
    EventLoop();
    CTransferSession session(io);
    session.SetCommand(command);
    const CStopSignalWatch stop([&session] { session.Stop(); });
    if (!OpenRunPort(session.Port(), options, command.substr(command.find(' ') + 1), io.err, &stop))
        return kPortError;
    if (std::string error = start(session); !error.empty()) {
        io.err << command << ": " << error << "\n";
        return kTransferFailed;
    }
    return session.Run();
}

int SendRaw(const CCliArguments& args, const CRunOptions& options, CCliStreams& io,
            const std::string& file) {
    CPacing pacing;
    if (std::string error = ParsePacing(args, options.timeoutMs, pacing); !error.empty()) {
        io.err << "brivox-cli send-file: " << error << "\n";
        return kPortError;
    }
    std::string content;
    if (!ReadWholeFile(file, content)) {
        io.err << "brivox-cli send-file: cannot read " << file << "\n";
        return kFileError;
    }
    std::unique_ptr<CPacedUpload> upload;
    return RunOnPort(options, io, "brivox-cli send-file", [&](CTransferSession& session) {
        upload = std::make_unique<CPacedUpload>(
            [&session](const uint8_t* b, size_t n) { return session.Write(b, n); },
            [&session](const CUploadProgress& p) {
                session.Progress().Show(p.bytes, p.totalBytes,
                                        std::to_string(p.lines) + "/" +
                                            std::to_string(p.totalLines) + " lines");
            },
            [&session, &file, &upload](const std::string& error) {
                const CUploadProgress& went = upload->Progress();
                session.Finish(error, "sent " + file + ", " + std::to_string(went.bytes) +
                                          " bytes in " + std::to_string(went.lines) + " lines, " +
                                          session.Progress().RateText());
            });
        session.OnReceive(
            [&upload](const uint8_t* b, int n) { upload->Receive(b, static_cast<size_t>(n)); });
        session.OnStop([&upload] { upload->Cancel(); });
        session.OnRelease([&upload] { upload.reset(); });
        session.Progress().Start();
        upload->Start(std::move(content), pacing);
        return std::string();
    });
}

// An lrzsz program joined to the port; done names what went, fileBytes their size (-1 when
// not known before: lrzsz's own count is said then).
int RunLrzsz(const CRunOptions& options, CCliStreams& io, const std::string& command,
             const CTransferCommand& program, const std::string& done, int64_t fileBytes) {
    std::unique_ptr<CTransferRunner> runner;
    return RunOnPort(options, io, command, [&](CTransferSession& session) {
        runner = std::make_unique<CTransferRunner>(
            [&session](const uint8_t* b, size_t n) { return session.Write(b, n); },
            [&session, fileBytes](const CTransferProgress& p) {
                session.Progress().Show(p.bytes, p.total >= 0 ? p.total : fileBytes);
            },
            [&session, &done, fileBytes](const CTransferResult& result) {
                const int64_t bytes = fileBytes >= 0 ? fileBytes : result.progress.bytes;
                session.Finish(result.error, done + ", " + std::to_string(bytes) + " bytes, " +
                                                 session.Progress().RateText());
            });
        session.OnReceive(
            [&runner](const uint8_t* b, int n) { runner->Receive(b, static_cast<size_t>(n)); });
        session.OnStop([&runner] { runner->Cancel(); });
        session.OnRelease([&runner] { runner.reset(); });
        session.Progress().Start();
        return runner->Start(program);
    });
}

int RunSendFile(const CCliArguments& args, CCliStreams& io) {
    TransferProtocol protocol = TransferProtocol::Raw;
    CRunOptions options;
    std::string error = args.Positionals().empty() ? "give the FILE to send" : "";
    if (error.empty())
        error = ParseRunOptions(args, options);
    if (error.empty() && args.Has("--protocol"))
        error = ParseTransferProtocol(args.Value("--protocol"), protocol);
    const bool oneFile = protocol == TransferProtocol::Raw ||
                         protocol == TransferProtocol::Xmodem ||
                         protocol == TransferProtocol::Xmodem1k;
    if (error.empty() && oneFile && args.Positionals().size() > 1)
        error = "raw and XMODEM send one file";
    if (!error.empty()) {
        io.err << "brivox-cli send-file: " << error << "\n";
        return kPortError;
    }
    const std::vector<std::string>& files = args.Positionals();
    for (const std::string& file : files)
        if (!std::filesystem::is_regular_file(file)) {
            io.err << "brivox-cli send-file: cannot read " << file << "\n";
            return kFileError;
        }
    if (protocol == TransferProtocol::Raw)
        return SendRaw(args, options, io, files.front());
    std::string names;
    int64_t bytes = 0;
    for (const std::string& file : files) {
        names += (names.empty() ? "" : " ") + file;
        std::error_code error;
        bytes += static_cast<int64_t>(std::filesystem::file_size(file, error));
    }
    return RunLrzsz(options, io, "brivox-cli send-file", SendCommand(protocol, files),
                    "sent " + names, bytes);
}

int RunReceiveFile(const CCliArguments& args, CCliStreams& io) {
    TransferProtocol protocol = TransferProtocol::Zmodem;
    CRunOptions options;
    std::string error = args.Positionals().size() != 1 ? "give the folder DIR to receive into"
                        : !args.Has("--protocol")      ? "give --protocol xmodem|ymodem|zmodem"
                                                       : "";
    if (error.empty())
        error = ParseTransferProtocol(args.Value("--protocol"), protocol);
    if (error.empty())
        error = ParseRunOptions(args, options);
    if (error.empty() && protocol == TransferProtocol::Raw)
        error = "raw has no end to receive to; use monitor --capture";
    if (!error.empty()) {
        io.err << "brivox-cli receive-file: " << error << "\n";
        return kPortError;
    }
    const std::string folder = args.Positionals().front();
    if (!std::filesystem::is_directory(folder)) {
        io.err << "brivox-cli receive-file: " << folder << " is not a folder\n";
        return kFileError;
    }
    const std::string name = args.Has("--name") ? args.Value("--name") : "received.bin";
    return RunLrzsz(options, io, "brivox-cli receive-file", ReceiveCommand(protocol, folder, name),
                    "received into " + folder, -1);
}

} // namespace

CCommand SendFileCommand() {
    return {"send-file",
            "FILE... --port COM<n>|DEVICE [--protocol raw|xmodem|xmodem-1k|ymodem|zmodem] "
            "[--char-delay MS] [--line-delay MS] [--wait-prompt TEXT] [--wait-echo] "
            "[--timeout MS] [--settings 115200,N,8,1] " +
                std::string(kLineOptionsUsage),
            "send a file of any size: raw (the default) paces it by character and line and can "
            "wait after each line for a prompt or the line's echo (--timeout ms, 2000); the "
            "other protocols run Debian's lrzsz (sx, sb, sz) on the port (YMODEM and ZMODEM "
            "take several files); a progress bar on a terminal; exit 0 when it went, 1 when the "
            "far end refused or the transfer failed or was cancelled (Ctrl+C), 3 for a port "
            "error, 4 for a file that cannot be read",
            WithLineOptions({{"--port", true},
                             {"--settings", true},
                             {"--protocol", true},
                             {"--char-delay", true},
                             {"--line-delay", true},
                             {"--wait-prompt", true},
                             {"--wait-echo", false},
                             {"--timeout", true}}),
            RunSendFile,
            kPortError};
}

CCommand ReceiveFileCommand() {
    return {"receive-file",
            "DIR --port COM<n>|DEVICE --protocol xmodem|xmodem-1k|ymodem|zmodem [--name FILE] "
            "[--settings 115200,N,8,1] " +
                std::string(kLineOptionsUsage),
            "receive files into the folder DIR through Debian's lrzsz (rx, rb, rz); XMODEM "
            "carries no name, so its file is --name (received.bin); a file already there is "
            "kept and the new one renamed; exit codes as send-file's",
            WithLineOptions({{"--port", true},
                             {"--settings", true},
                             {"--protocol", true},
                             {"--name", true},
                             {"--timeout", true}}),
            RunReceiveFile,
            kPortError};
}

} // namespace brivox::cli
