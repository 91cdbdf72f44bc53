#pragma once

#include "serial/PortDevice.h"
#include "serial/ReceiveFilter.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brivox {

// The reader thread of one open port. It sleeps in poll() on the device and its wake-up
// descriptor, reads what the driver holds (kReadSize bytes a read, and read after read while
// more is there at once, up to kBatchSize) and hands it over synchronously as chunks of at most
// kChunkSize bytes, each with its read's arrival time: it posts one notice and waits until the
// receiving thread has taken the chunks (TakeChunks) or the reader is stopped. One round trip
// per batch rather than per read or chunk keeps the rate up at a fraction of the cost; stopping
// never waits on the receiving thread, so it cannot deadlock.
class CPortReader : public std::enable_shared_from_this<CPortReader> {
public:
    static constexpr int kChunkSize = 128;
    static constexpr int kReadSize = 4096; // the driver queue of a classic UART
    static constexpr int kBatchSize = 16 * kReadSize;
    static constexpr int kStopTimedOut = 1;

    enum class Notice {
        Chunks, // a read waits for TakeChunks
        Lost,   // the device went away; the reader has ended
    };

    using Clock = std::chrono::steady_clock;

    // One chunk of a read, with what belongs to it: its arrival travels with the bytes, so that
    // no second queue between the threads can fall out of step with them.
    struct CChunk {
        const uint8_t* bytes;
        const uint8_t* marks; // a LineMark a byte, or null when no byte has a line error
        int count;
        Clock::time_point arrival; // when the read that brought it returned
    };
    using ChunkHook = std::function<void(const CChunk& chunk)>;
    struct CHooks {
        std::function<void(Notice)> notify;     // under the reader's lock: must only post, not wait
        std::unique_ptr<CReceiveFilter> filter; // applied to every read, when set
    };

    CPortReader(std::shared_ptr<CPortDevice> device, CHooks hooks);
    CPortReader(const CPortReader&) = delete;
    CPortReader& operator=(const CPortReader&) = delete;
    ~CPortReader();

    // Starts the thread; error text. The caller must Stop before dropping the reader.
    std::string Start();

    bool IsRunning() const;
    // Whether a read waits for TakeChunks.
    bool HasPending() const;

    // On the receiving thread: gives the waiting read, if any, to deliver chunk by chunk, then
    // lets the reader go on. deliver may stop the reader; the rest of the read is then dropped.
    void TakeChunks(const ChunkHook& deliver);

    // Ends the reader: wakes it and every writer of the device, waits at most limit for the
    // thread, and returns 0, or kStopTimedOut after leaving the thread to end on its own.
    int Stop(std::chrono::milliseconds limit);

private:
    void Run();
    bool ReadAvailable();
    // Reads into the batch until the driver holds no more or the batch is full; false when the
    // device has gone (what was read before is in the batch still).
    bool ReadBatch();
    // Calls hook for each chunk of the batch's reads while running.
    void ForEachChunk(const ChunkHook& hook);
    bool HandOver(int count);
    void End(bool lost);

    const std::shared_ptr<CPortDevice> m_device;
    const CHooks m_hooks;
    // One read of the batch: where it lies in the buffer, and what came with it.
    struct CRead {
        int offset;
        int count;
        bool marked; // m_marks holds a line error for it
        Clock::time_point arrival;
    };
    std::vector<CRead> m_reads;
    int m_filled = 0; // bytes of the batch in m_buffer
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_running = false;
    bool m_ended = false;
    int m_pending = 0; // bytes in m_buffer not yet taken
    uint8_t m_buffer[kBatchSize] = {};
    uint8_t m_marks[kBatchSize] = {};
    std::thread m_thread;
};

} // namespace brivox
