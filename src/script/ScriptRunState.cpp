#include "script/ScriptRunState.h"

#include <algorithm>
#include <chrono>

namespace brivox {

void CScriptRunState::SetSending(bool on) {
    {
        // Taken so that a waiter cannot miss the change between its check and its wait.
        const std::lock_guard lock(m_mutex);
        m_sending.store(on ? 1 : 0);
    }
    m_changed.notify_all();
}

void CScriptRunState::OnReceived(const uint8_t* data, int32_t count, const uint8_t* marks) {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_capturing || count <= 0)
            return;
        const int32_t start = m_response.GetLength();
        const int32_t taken = std::min(count, std::max(kResponseLimit - start, 0));
        m_response.Append(data, taken);
        for (int32_t i = 0; marks != nullptr && i < taken; ++i)
            if (marks[i] != 0)
                m_lineErrorsAt.push_back(start + i);
    }
    m_changed.notify_all();
}

void CScriptRunState::BeginCapture() {
    const std::lock_guard lock(m_mutex);
    m_response.Clear();
    m_lineErrorsAt.clear();
    m_capturing = true;
}

bool CScriptRunState::IsCapturing() const {
    const std::lock_guard lock(m_mutex);
    return m_capturing;
}

int32_t CScriptRunState::ResponseLength() const {
    const std::lock_guard lock(m_mutex);
    return m_response.GetLength();
}

std::vector<uint8_t> CScriptRunState::ResponseBytes(int32_t count) const {
    const std::lock_guard lock(m_mutex);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::clamp(count, 0, m_response.GetLength())));
    m_response.Read(bytes.data(), static_cast<int32_t>(bytes.size()));
    return bytes;
}

std::vector<bool> CScriptRunState::ResponseLineErrors(int32_t count) const {
    const std::lock_guard lock(m_mutex);
    std::vector<bool> marked(static_cast<size_t>(std::clamp(count, 0, m_response.GetLength())));
    for (const int32_t at : m_lineErrorsAt)
        if (at < static_cast<int32_t>(marked.size()))
            marked[static_cast<size_t>(at)] = true;
    return marked;
}

bool CScriptRunState::WaitForResponse(int32_t count) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !IsSending() || m_response.GetLength() >= count; });
    return IsSending();
}

bool CScriptRunState::SleepWhileSending(int milliseconds) {
    std::unique_lock lock(m_mutex);
    return !m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [&] { return !IsSending(); });
}

} // namespace brivox
