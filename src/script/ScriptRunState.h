#pragma once

#include "util/ByteBuffer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace brivox {

// The state a session shares with its running scripts: the sending flag that keeps runs going,
// and the response buffer that the receive path fills while capture is on. Waiting runs wake at
// once when a reply arrives or the flag is cleared. Share it (std::shared_ptr) with every job
// that uses it, so that closing the session while a run waits is safe.
class CScriptRunState {
public:
    // Received bytes beyond this are dropped while capture is on; no expect item is that long.
    static constexpr int32_t kResponseLimit = 1 << 20;

    void SetSending(bool on);
    bool IsSending() const { return m_sending.load() != 0; }
    // The flag itself, for callers that poll it as a keep-going flag.
    const std::atomic<int>& SendingFlag() const { return m_sending; }

    // The receive path: appends while capture is on. marks: a LineMark a byte, or null.
    void OnReceived(const uint8_t* data, int32_t count, const uint8_t* marks = nullptr);
    // Empties the response buffer and switches capture on (it stays on).
    void BeginCapture();
    bool IsCapturing() const;
    int32_t ResponseLength() const;
    // The first count bytes of the response buffer, which keeps them.
    std::vector<uint8_t> ResponseBytes(int32_t count) const;
    // Whether each of the first count bytes came with a line error.
    std::vector<bool> ResponseLineErrors(int32_t count) const;

    // Waits until the response buffer holds count bytes; false when sending stopped first.
    bool WaitForResponse(int32_t count);
    // Sleeps for the time given unless sending stops first; false when it stopped.
    bool SleepWhileSending(int milliseconds);

private:
    std::atomic<int> m_sending{0};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    CByteBuffer m_response;
    std::vector<int32_t> m_lineErrorsAt; // positions in the response, ascending
    bool m_capturing = false;
};

} // namespace brivox
