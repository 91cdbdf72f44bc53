#pragma once

#include "serial/SerialDevice.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace brivox {

// The reader thread of one open port. It sleeps in poll() on the device and its wake-up
// descriptor, reads chunks of at most kChunkSize bytes and hands each one over synchronously:
// it posts a notice and waits until the receiving thread has taken the chunk (TakeChunk) or the
// reader is stopped. Stopping never waits on the receiving thread, so it cannot deadlock.
class CPortReader : public std::enable_shared_from_this<CPortReader> {
public:
    static constexpr int kChunkSize = 128;
    static constexpr int kStopTimedOut = 1;

    enum class Notice {
        Chunk, // a chunk waits for TakeChunk
        Lost,  // the device went away; the reader has ended
    };

    using ChunkHook = std::function<void(const uint8_t* bytes, int count)>;
    struct CHooks {
        ChunkHook inThread;                 // on the reader, before the hand-over
        std::function<void(Notice)> notify; // under the reader's lock: must only post, not wait
    };

    CPortReader(std::shared_ptr<CSerialDevice> device, CHooks hooks);
    CPortReader(const CPortReader&) = delete;
    CPortReader& operator=(const CPortReader&) = delete;
    ~CPortReader();

    // Starts the thread; error text. The caller must Stop before dropping the reader.
    std::string Start();

    bool IsRunning() const;
    bool HasEnded() const;

    // On the receiving thread: gives the waiting chunk, if any, to deliver, then lets the reader
    // go on. deliver may stop the reader.
    void TakeChunk(const ChunkHook& deliver);

    // Ends the reader: wakes it and every writer of the device, waits at most limit for the
    // thread, and returns 0, or kStopTimedOut after leaving the thread to end on its own.
    int Stop(std::chrono::milliseconds limit);

private:
    void Run();
    bool ReadAvailable();
    bool HandOver(int count);
    void End(bool lost);

    const std::shared_ptr<CSerialDevice> m_device;
    const CHooks m_hooks;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_running = false;
    bool m_ended = false;
    int m_pending = 0; // bytes of the chunk in m_buffer not yet taken
    uint8_t m_buffer[kChunkSize] = {};
    std::thread m_thread;
};

} // namespace brivox
