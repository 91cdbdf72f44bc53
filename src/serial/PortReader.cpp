#include "serial/PortReader.h"

#include <algorithm>
#include <system_error>

namespace brivox {

CPortReader::CPortReader(std::shared_ptr<CPortDevice> device, CHooks hooks)
    : m_device(std::move(device)), m_hooks(std::move(hooks)) {}

CPortReader::~CPortReader() {
    // The thread itself may hold the last reference, and it cannot join itself.
    if (m_thread.joinable())
        m_thread.detach();
}

std::string CPortReader::Start() {
    m_running = true;
    try {
        m_thread = std::thread([self = shared_from_this()] { self->Run(); });
    } catch (const std::system_error& error) {
        m_running = false;
        return error.what();
    }
    return "";
}

bool CPortReader::IsRunning() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

bool CPortReader::HasPending() const {
    std::lock_guard lock(m_mutex);
    return m_running && m_pendingBatches > 0;
}

void CPortReader::Run() {
    bool lost = false;
    while (IsRunning() && !lost) {
        const CPortDevice::Wait wait = m_device->WaitReadable();
        if (wait == CPortDevice::Wait::Woken)
            break;
        lost = wait == CPortDevice::Wait::Gone || !ReadAvailable();
    }
    End(lost);
}

// Reads until the driver's queue is empty; false when the device has gone.
bool CPortReader::ReadAvailable() {
    for (;;) {
        if (!AwaitFreeBatch())
            return true;
        CBatch& batch = m_batches[m_fillBatch];
        batch.Clear();
        const bool there = FillBatch(batch);
        const bool full = IsFull(batch);
        if (batch.filled > 0)
            HandOver();
        if (!there || !full)
            return there;
    }
}

bool CPortReader::AwaitFreeBatch() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pendingBatches < kBatches || !m_running; });
    return m_running;
}

// A wake-up or a device gone ends the linger too: the next wait in Run sees it again.
bool CPortReader::FillBatch(CBatch& batch) {
    const Clock::time_point holdUntil = Clock::now() + kHoldLimit;
    bool there = ReadBatch(batch);
    while (there && batch.streaming && !IsFull(batch)) {
        const Clock::time_point now = Clock::now();
        if (now >= holdUntil || m_device->WaitReadableUntil(std::min(now + kLinger, holdUntil)) !=
                                    CPortDevice::Wait::Readable)
            break;
        there = ReadBatch(batch);
    }
    return there;
}

bool CPortReader::ReadBatch(CBatch& batch) {
    while (!IsFull(batch)) {
        int count = m_device->Read(batch.buffer + batch.filled, kReadSize);
        if (count <= 0)
            return count == 0;
        // A short read emptied the driver's queue. Asking again would only learn that, and on a
        // terminal such a read first waits for the kernel's worker that feeds the queue: at a
        // fast stream that wait cost more than the bytes.
        const bool drained = count < kReadSize;
        batch.streaming = count >= kStreamingRead;
        const Clock::time_point arrival = Clock::now();
        bool marked = false;
        if (m_hooks.filter)
            count = m_hooks.filter->Apply(batch.buffer + batch.filled, batch.marks + batch.filled,
                                          count, marked);
        if (count > 0) {
            batch.reads.push_back({batch.filled, count, marked, arrival});
            batch.filled += count;
        }
        if (drained)
            break;
    }
    return true;
}

void CPortReader::HandOver() {
    std::lock_guard lock(m_mutex);
    if (!m_running)
        return;
    ++m_pendingBatches;
    m_fillBatch = (m_fillBatch + 1) % kBatches;
    if (!m_noticePosted) {
        m_noticePosted = true;
        m_hooks.notify(Notice::Chunks);
    }
}

// A lost device is told only after the bytes read before it went have been taken.
void CPortReader::End(bool lost) {
    std::unique_lock lock(m_mutex);
    if (lost)
        m_changed.wait(lock, [this] { return m_pendingBatches == 0 || !m_running; });
    if (lost && m_running)
        m_hooks.notify(Notice::Lost);
    m_running = false;
    m_ended = true;
    m_changed.notify_all();
}

void CPortReader::ForEachChunk(const CBatch& batch, const ChunkHook& hook) {
    for (const CRead& read : batch.reads)
        for (int offset = read.offset; offset < read.offset + read.count; offset += kChunkSize) {
            if (!IsRunning())
                return;
            hook({batch.buffer + offset, read.marked ? batch.marks + offset : nullptr,
                  std::min(kChunkSize, read.offset + read.count - offset), read.arrival});
        }
}

void CPortReader::TakeChunks(const ChunkHook& deliver) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_running || m_pendingBatches == 0)
            return;
    }
    // The reader does not touch a waiting batch until it is taken or the reader is stopped.
    ForEachChunk(m_batches[m_takeBatch], deliver);
    std::lock_guard lock(m_mutex);
    if (!m_running)
        return;
    m_takeBatch = (m_takeBatch + 1) % kBatches;
    --m_pendingBatches;
    m_changed.notify_all();
    m_noticePosted = m_pendingBatches > 0;
    if (m_noticePosted)
        m_hooks.notify(Notice::Chunks);
}

int CPortReader::Stop(std::chrono::milliseconds limit) {
    if (!m_thread.joinable())
        return 0;
    bool ended;
    {
        std::unique_lock lock(m_mutex);
        m_running = false;
        m_changed.notify_all();
        m_device->Wake();
        ended = m_changed.wait_for(lock, limit, [this] { return m_ended; });
    }
    if (!ended) {
        m_thread.detach();
        return kStopTimedOut;
    }
    m_thread.join();
    return 0;
}

} // namespace brivox
