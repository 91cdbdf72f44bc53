// A file sent as it is, paced for consoles that drop what is pasted into them: a delay after
// each character and after each line, and optionally a wait after each line for a prompt or
// for the line's echo.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

namespace brivox {

struct CPacing {
    int charDelayMs = 0; // 0: each line goes in one write
    int lineDelayMs = 0;
    std::string prompt;    // waited for after each line when not empty
    bool waitEcho = false; // wait for the line itself (without its line end) to come back
    int timeoutMs = 5000;  // for each wait
};

struct CUploadProgress {
    int64_t bytes = 0;
    int64_t totalBytes = 0;
    int lines = 0;
    int totalLines = 0;
};

class CPacedUpload : public QObject {
    Q_OBJECT

public:
    using PortWriter = std::function<bool(const uint8_t* bytes, size_t count)>;
    using ProgressHook = std::function<void(const CUploadProgress&)>;
    // An error text, empty when every line went.
    using FinishedHook = std::function<void(const std::string& error)>;

    CPacedUpload(PortWriter toPort, ProgressHook progress, FinishedHook finished);

    void Start(std::string content, const CPacing& pacing);
    bool IsRunning() const { return m_running; }
    const CUploadProgress& Progress() const { return m_progress; }
    // Bytes the port received: looked through for the prompt or the echo.
    void Receive(const uint8_t* bytes, size_t count);
    void Cancel();

private:
    void Step();
    void LineWritten();
    void End(const std::string& error);
    bool Write(const char* bytes, size_t count);
    // The text waited for after the current line.
    std::string Awaited() const;

    PortWriter m_toPort;
    ProgressHook m_onProgress;
    FinishedHook m_onFinished;
    std::string m_content;
    CPacing m_pacing;
    CUploadProgress m_progress;
    size_t m_lineStart = 0;
    size_t m_lineEnd = 0; // past the line's LF, or the content's end
    size_t m_next = 0;    // the next byte to write
    std::string m_heard;  // received since the current line went
    bool m_waiting = false;
    bool m_running = false;
    QTimer m_step;
    QTimer m_timeout;
};

} // namespace brivox
