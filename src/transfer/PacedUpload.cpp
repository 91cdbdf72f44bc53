#include "transfer/PacedUpload.h"

#include <algorithm>

namespace brivox {

namespace {

// Heard text beyond what a wait could need is dropped from the front.
constexpr size_t kHeardLimit = 64 * 1024;

} // namespace

CPacedUpload::CPacedUpload(PortWriter toPort, ProgressHook progress, FinishedHook finished)
    : m_toPort(std::move(toPort)), m_onProgress(std::move(progress)),
      m_onFinished(std::move(finished)) {
    m_step.setSingleShot(true);
    m_step.setTimerType(Qt::PreciseTimer);
    m_timeout.setSingleShot(true);
    connect(&m_step, &QTimer::timeout, this, &CPacedUpload::Step);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        End("line " + std::to_string(m_progress.lines + 1) + ": \"" + Awaited() +
            "\" did not come within " + std::to_string(m_pacing.timeoutMs) + " ms");
    });
}

void CPacedUpload::Start(std::string content, const CPacing& pacing) {
    m_content = std::move(content);
    m_pacing = pacing;
    m_progress = {};
    m_progress.totalBytes = static_cast<int64_t>(m_content.size());
    m_progress.totalLines = static_cast<int>(std::count(m_content.begin(), m_content.end(), '\n'));
    if (!m_content.empty() && m_content.back() != '\n')
        ++m_progress.totalLines;
    m_lineStart = m_lineEnd = m_next = 0;
    m_waiting = false;
    m_running = true;
    m_step.start(0);
}

void CPacedUpload::Step() {
    if (m_next == m_lineEnd) { // a new line begins
        m_lineStart = m_next;
        const size_t lf = m_content.find('\n', m_lineStart);
        m_lineEnd = lf == std::string::npos ? m_content.size() : lf + 1;
        m_heard.clear();
    }
    if (m_next >= m_content.size()) {
        End("");
        return;
    }
    const size_t count = m_pacing.charDelayMs > 0 ? 1 : m_lineEnd - m_next;
    if (!Write(m_content.data() + m_next, count))
        return;
    m_next += count;
    m_progress.bytes = static_cast<int64_t>(m_next);
    if (m_next < m_lineEnd) {
        m_step.start(m_pacing.charDelayMs);
        return;
    }
    LineWritten();
}

void CPacedUpload::LineWritten() {
    if (Awaited().empty()) {
        ++m_progress.lines;
        if (m_onProgress)
            m_onProgress(m_progress);
        m_step.start(m_pacing.lineDelayMs);
        return;
    }
    m_waiting = true;
    m_timeout.start(m_pacing.timeoutMs);
    Receive(nullptr, 0); // it may have come already
}

void CPacedUpload::Receive(const uint8_t* bytes, size_t count) {
    if (!m_running)
        return;
    m_heard.append(reinterpret_cast<const char*>(bytes), count);
    if (m_heard.size() > kHeardLimit)
        m_heard.erase(0, m_heard.size() - kHeardLimit);
    if (!m_waiting || m_heard.find(Awaited()) == std::string::npos)
        return;
    m_waiting = false;
    m_timeout.stop();
    ++m_progress.lines;
    if (m_onProgress)
        m_onProgress(m_progress);
    m_step.start(m_pacing.lineDelayMs);
}

std::string CPacedUpload::Awaited() const {
    if (!m_pacing.prompt.empty())
        return m_pacing.prompt;
    if (!m_pacing.waitEcho)
        return "";
    std::string line = m_content.substr(m_lineStart, m_lineEnd - m_lineStart);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

void CPacedUpload::Cancel() {
    if (m_running)
        End("cancelled");
}

bool CPacedUpload::Write(const char* bytes, size_t count) {
    if (m_toPort(reinterpret_cast<const uint8_t*>(bytes), count))
        return true;
    End("the port could not be written");
    return false;
}

void CPacedUpload::End(const std::string& error) {
    m_running = false;
    m_waiting = false;
    m_step.stop();
    m_timeout.stop();
    if (m_onFinished)
        m_onFinished(error);
}

} // namespace brivox
