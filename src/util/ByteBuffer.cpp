#include "util/ByteBuffer.h"

#include "platform/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <unistd.h>
#include <utility>

namespace brivox {

namespace {

int32_t QuarterStep(int32_t capacity) {
    return std::max<int32_t>(capacity / 4, 1);
}

void AppendUtf8(std::string& text, uint32_t codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace

CByteBuffer::CByteBuffer(const CByteBuffer& other) : m_growthStep(other.m_growthStep) {
    if (other.m_capacity > 0 && Reset(other.m_capacity, other.m_growthStep))
        AppendFrom(other);
}

CByteBuffer& CByteBuffer::operator=(const CByteBuffer& other) {
    if (this != &other) {
        CByteBuffer copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CByteBuffer::CByteBuffer(CByteBuffer&& other) noexcept {
    *this = std::move(other);
}

CByteBuffer& CByteBuffer::operator=(CByteBuffer&& other) noexcept {
    if (this != &other) {
        m_storage = std::move(other.m_storage);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_head = std::exchange(other.m_head, 0);
        m_length = std::exchange(other.m_length, 0);
        m_growthStep = std::exchange(other.m_growthStep, kDefaultGrowthStep);
    }
    return *this;
}

bool CByteBuffer::InvariantHolds() const {
    return m_length >= 0 && m_length <= m_capacity && (m_capacity == 0 || m_head < m_capacity);
}

bool CByteBuffer::Reset(int32_t capacity, int32_t step) {
    if (capacity <= 0)
        return false;
    std::unique_ptr<uint8_t[]> storage(new (std::nothrow) uint8_t[capacity]);
    if (!storage)
        return false;
    m_storage = std::move(storage);
    m_capacity = capacity;
    m_head = 0;
    m_length = 0;
    m_growthStep = step > 0 ? step : QuarterStep(capacity);
    return true;
}

bool CByteBuffer::Reserve(int32_t newCapacity) {
    if (m_length >= newCapacity || !InvariantHolds())
        return false;
    return MoveToStorageOf(newCapacity);
}

bool CByteBuffer::Compact() {
    if (!InvariantHolds())
        return false;
    if (m_length == m_capacity)
        return true;
    if (m_length == 0) {
        Clear();
        return true;
    }
    return MoveToStorageOf(m_length);
}

bool CByteBuffer::MoveToStorageOf(int32_t capacity) {
    std::unique_ptr<uint8_t[]> storage(new (std::nothrow) uint8_t[capacity]);
    if (!storage)
        return false;
    CopyOut(storage.get(), 0, m_length);
    m_storage = std::move(storage);
    m_capacity = capacity;
    m_head = 0;
    m_growthStep = QuarterStep(capacity);
    return true;
}

bool CByteBuffer::Grow(int32_t extra) {
    if (m_growthStep <= 0)
        return false;
    const int64_t missing = int64_t{m_length} + extra - m_capacity;
    const int64_t steps = (missing + m_growthStep - 1) / m_growthStep;
    const int64_t newCapacity = m_capacity + steps * m_growthStep;
    if (newCapacity > std::numeric_limits<int32_t>::max())
        return false;
    return Reserve(static_cast<int32_t>(newCapacity));
}

void CByteBuffer::CopyIn(const uint8_t* bytes, int32_t count) {
    const int32_t tail = static_cast<int32_t>((int64_t{m_head} + m_length) % m_capacity);
    const int32_t first = std::min(count, m_capacity - tail);
    std::memcpy(m_storage.get() + tail, bytes, first);
    std::memcpy(m_storage.get(), bytes + first, count - first);
    m_length += count;
}

void CByteBuffer::CopyOut(uint8_t* destination, int32_t offset, int32_t count) const {
    if (count <= 0)
        return;
    const int32_t start = static_cast<int32_t>((int64_t{m_head} + offset) % m_capacity);
    const int32_t first = std::min(count, m_capacity - start);
    std::memcpy(destination, m_storage.get() + start, first);
    std::memcpy(destination + first, m_storage.get(), count - first);
}

bool CByteBuffer::Append(const void* bytes, int32_t count) {
    if (!InvariantHolds() || count < 0)
        return false;
    if (count == 0)
        return true;
    if (bytes == nullptr)
        return false;
    if (FreeSpace() < count && !Grow(count))
        return false;
    CopyIn(static_cast<const uint8_t*>(bytes), count);
    return true;
}

bool CByteBuffer::Append(std::string_view bytes) {
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return false;
    return Append(bytes.data(), static_cast<int32_t>(bytes.size()));
}

bool CByteBuffer::AppendByte(uint8_t byte) {
    return Append(&byte, 1);
}

bool CByteBuffer::AppendFrom(const CByteBuffer& other, int32_t offset, int32_t count) {
    if (offset < 0 || offset > other.m_length)
        return false;
    if (count == -1)
        count = other.m_length - offset;
    // Gathered first, so that appending a buffer to itself reads the bytes it held before.
    std::vector<uint8_t> slice(static_cast<size_t>(std::max(count, 0)));
    if (!other.Read(slice.data(), count, offset))
        return false;
    return Append(slice.data(), count);
}

bool CByteBuffer::Assign(const CByteBuffer& other) {
    if (this == &other)
        return true;
    Clear();
    return AppendFrom(other);
}

bool CByteBuffer::Read(void* destination, int32_t count, int32_t offset) const {
    if (!InvariantHolds() || offset < 0 || offset > m_length || count < -1)
        return false;
    if (count == -1)
        count = m_length - offset;
    if (int64_t{offset} + count > m_length)
        return false;
    if (count > 0 && destination == nullptr)
        return false;
    CopyOut(static_cast<uint8_t*>(destination), offset, count);
    return true;
}

bool CByteBuffer::ReadAt(int32_t& cursor, void* destination, int32_t count) const {
    if (count == -1)
        count = m_length - cursor;
    if (!Read(destination, count, cursor))
        return false;
    cursor += count;
    return true;
}

uint8_t CByteBuffer::ByteAt(int32_t index) const {
    if (!InvariantHolds() || index < 0 || index >= m_length)
        return 0;
    return m_storage[(int64_t{m_head} + index) % m_capacity];
}

bool CByteBuffer::Consume(int32_t count, void* destination) {
    if (!InvariantHolds() || count <= 0 || count > m_length)
        return false;
    if (destination != nullptr)
        CopyOut(static_cast<uint8_t*>(destination), 0, count);
    m_length -= count;
    m_head = static_cast<int32_t>((int64_t{m_head} + count) % m_capacity);
    return true;
}

void CByteBuffer::Clear() {
    m_storage.reset();
    m_capacity = 0;
    m_head = 0;
    m_length = 0;
}

bool CByteBuffer::WriteTo(int fd, bool append) const {
    if (!InvariantHolds())
        return false;
    if (append) {
        if (lseek(fd, 0, SEEK_END) < 0)
            return false;
    } else if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) < 0) {
        return false;
    }
    if (m_length == 0)
        return true;
    const int32_t first = std::min(m_length, m_capacity - m_head);
    return WriteAll(fd, m_storage.get() + m_head, first) &&
           WriteAll(fd, m_storage.get(), m_length - first);
}

bool CByteBuffer::ReadFrom(int fd, int64_t offset, int64_t count) {
    Clear();
    if (offset < 0 || count < -1)
        return false;
    uint8_t chunk[65536];
    int64_t remaining = count;
    while (remaining != 0) {
        const size_t wanted = remaining < 0 ? sizeof chunk
                                            : static_cast<size_t>(std::min<int64_t>(
                                                  remaining, static_cast<int64_t>(sizeof chunk)));
        const ssize_t got = pread(fd, chunk, wanted, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0 && remaining < 0)
            return true;
        if (got <= 0 || !Append(chunk, static_cast<int32_t>(got))) {
            Clear();
            return false;
        }
        offset += got;
        if (remaining > 0)
            remaining -= got;
    }
    return true;
}

bool CByteBuffer::SaveToFile(const std::string& path, const std::string& keepReplacedAs) const {
    CAtomicFileWriter writer;
    writer.KeepReplacedFileAs(keepReplacedAs);
    return writer.Open(path) == FileWriteError::None && WriteTo(writer.Descriptor(), false) &&
           writer.Commit() == FileWriteError::None;
}

bool CByteBuffer::LoadFromFile(const std::string& path) {
    FileReadError error;
    const int fd = OpenRegularFile(path, kMaxWholeFileSize, error);
    if (fd < 0)
        return false;
    const bool loaded = ReadFrom(fd);
    close(fd);
    return loaded;
}

std::string CByteBuffer::ToAnsiText() const {
    std::string text;
    const int32_t units = m_length / 2;
    auto unitAt = [this](int32_t i) -> uint32_t {
        return ByteAt(2 * i) | (ByteAt(2 * i + 1) << 8);
    };
    for (int32_t i = 0; i < units; ++i) {
        const uint32_t unit = unitAt(i);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < units && unitAt(i + 1) >= 0xDC00 && unitAt(i + 1) <= 0xDFFF) {
            AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else if (high || low) {
            text += '?'; // a lone surrogate has no character to stand for
        } else {
            AppendUtf8(text, unit);
        }
    }
    return text;
}

std::vector<uint8_t> CByteBuffer::ToVector() const {
    std::vector<uint8_t> bytes(static_cast<size_t>(m_length));
    Read(bytes.data());
    return bytes;
}

std::string CByteBuffer::ToString() const {
    std::string bytes(static_cast<size_t>(m_length), '\0');
    Read(bytes.data());
    return bytes;
}

} // namespace brivox
