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
// more is there at once, up to kBatchSize) into a batch, and hands the batch over as chunks of at
// most kChunkSize bytes, each with its read's arrival time: it posts one notice, and the
// receiving thread takes the batch (TakeChunks). There are two batches: the reader fills one
// while the other waits to be taken, and waits itself only when both are full, so a slow
// receiver still holds the line back. One notice per batch rather than per read or chunk keeps
// the rate up at a fraction of the cost, and not waiting for each batch to be taken saves the
// reader a sleep and a wake-up on every one; stopping never waits on the receiving thread, so it
// cannot deadlock. While a stream comes faster than it is read, a batch waits briefly for the
// stream's next reads (kLinger, kHoldLimit) before it is handed over, so that one notice carries
// many reads.
class CPortReader : public std::enable_shared_from_this<CPortReader> {
public:
    static constexpr int kChunkSize = 128;
    static constexpr int kReadSize = 4096; // the driver queue of a classic UART
    static constexpr int kBatchSize = 16 * kReadSize;
    static constexpr int kStopTimedOut = 1;
    // A read this large found the driver's queue half full: the bytes come faster than they are
    // taken. On a terminal the queue refills a few kilobytes at a time.
    static constexpr int kStreamingRead = kReadSize / 2;
    // How long a batch of a stream waits for the next bytes, and at most in all.
    static constexpr std::chrono::milliseconds kLinger{1};
    static constexpr std::chrono::milliseconds kHoldLimit{5};

    enum class Notice {
        Chunks, // a batch waits for TakeChunks
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
    // Whether a batch waits for TakeChunks.
    bool HasPending() const;

    // On the receiving thread: gives the oldest waiting batch, if any, to deliver chunk by chunk,
    // and frees it for the reader; a further waiting batch gets a notice of its own, so that the
    // receiving thread's other work comes between batches. deliver may stop the reader; the rest
    // of the batch is then dropped.
    void TakeChunks(const ChunkHook& deliver);

    // Ends the reader: wakes it and every writer of the device, waits at most limit for the
    // thread, and returns 0, or kStopTimedOut after leaving the thread to end on its own.
    int Stop(std::chrono::milliseconds limit);

private:
    static constexpr int kBatches = 2;
    // One read of a batch: where it lies in the buffer, and what came with it.
    struct CRead {
        int offset;
        int count;
        bool marked; // the batch's marks hold a line error for it
        Clock::time_point arrival;
    };
    struct CBatch {
        std::vector<CRead> reads;
        int filled = 0;         // bytes in buffer
        bool streaming = false; // its last read was at least kStreamingRead
        uint8_t buffer[kBatchSize] = {};
        uint8_t marks[kBatchSize] = {};

        void Clear() {
            reads.clear();
            filled = 0;
            streaming = false;
        }
    };

    void Run();
    bool ReadAvailable();
    // Reads into the batch until the driver holds no more or the batch is full, and while the
    // bytes stream, again as they come within the linger; false when the device has gone (what
    // was read before is in the batch still).
    bool FillBatch(CBatch& batch);
    // Adds reads to the batch until the driver holds no more or the batch is full; false when the
    // device has gone.
    bool ReadBatch(CBatch& batch);
    static bool IsFull(const CBatch& batch) { return batch.filled + kReadSize > kBatchSize; }
    // Waits until the batch to fill has been taken; false when the reader was stopped.
    bool AwaitFreeBatch();
    // Calls hook for each chunk of the batch's reads while running.
    void ForEachChunk(const CBatch& batch, const ChunkHook& hook);
    void HandOver();
    void End(bool lost);

    const std::shared_ptr<CPortDevice> m_device;
    const CHooks m_hooks;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_running = false;
    bool m_ended = false;
    CBatch m_batches[kBatches];
    int m_fillBatch = 0;      // the reader's
    int m_takeBatch = 0;      // the receiving thread's: the oldest waiting batch
    int m_pendingBatches = 0; // filled and not yet taken
    bool m_noticePosted = false;
    std::thread m_thread;
};

} // namespace brivox
