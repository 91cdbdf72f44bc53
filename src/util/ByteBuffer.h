#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brivox {

// A growable ring buffer of bytes: appended at the tail, consumed from the head without moving
// the rest, read by logical offset from the head. Storage grows in whole steps of a quarter of
// the capacity reached by the previous growth (256 bytes for a new buffer). Every operation
// reports failure by its result.
class CByteBuffer {
public:
    static constexpr int32_t kDefaultGrowthStep = 256;

    CByteBuffer() = default;
    CByteBuffer(const CByteBuffer& other);
    CByteBuffer& operator=(const CByteBuffer& other);
    CByteBuffer(CByteBuffer&& other) noexcept;
    CByteBuffer& operator=(CByteBuffer&& other) noexcept;
    ~CByteBuffer() = default;

    bool Reset(int32_t capacity, int32_t step = 0);
    bool Reserve(int32_t newCapacity);
    // Gives back the storage beyond the held bytes (none held: none kept), for a buffer that is
    // done growing; later appends grow it again by the usual steps from there.
    bool Compact();
    int32_t FreeSpace() const { return m_capacity - m_length; }

    bool Append(const void* bytes, int32_t count);
    bool Append(std::string_view bytes);
    bool AppendByte(uint8_t byte);
    bool AppendFrom(const CByteBuffer& other, int32_t offset = 0, int32_t count = -1);
    bool Assign(const CByteBuffer& other);

    bool Read(void* destination, int32_t count = -1, int32_t offset = 0) const;
    bool ReadAt(int32_t& cursor, void* destination, int32_t count) const;
    uint8_t ByteAt(int32_t index) const;
    bool Consume(int32_t count, void* destination = nullptr);
    void Clear();

    // File descriptors of files opened by the caller.
    bool WriteTo(int fd, bool append) const;
    bool ReadFrom(int fd, int64_t offset = 0, int64_t count = -1);
    // Written whole: a failed save leaves the previous file as it was. With keepReplacedAs, the
    // file replaced is renamed to its name followed by it.
    bool SaveToFile(const std::string& path, const std::string& keepReplacedAs = "") const;
    // Only a regular file of at most 64 MiB is read.
    bool LoadFromFile(const std::string& path);

    // The bytes as UTF-16LE code units converted to UTF-8 (an odd final byte is ignored).
    std::string ToAnsiText() const;

    int32_t GetLength() const { return m_length; }
    int32_t GetCapacity() const { return m_capacity; }
    int32_t GetGrowthStep() const { return m_growthStep; }
    int32_t GetHead() const { return m_head; }
    bool IsEmpty() const { return m_length == 0; }
    std::vector<uint8_t> ToVector() const;
    std::string ToString() const;

    friend bool operator==(const CByteBuffer& a, const CByteBuffer& b) {
        return a.ToVector() == b.ToVector();
    }

private:
    bool InvariantHolds() const;
    bool Grow(int32_t extra);
    // The held bytes, in order from index 0, in new storage of that capacity (at least the
    // length); the step becomes a quarter of it.
    bool MoveToStorageOf(int32_t capacity);
    void CopyIn(const uint8_t* bytes, int32_t count);
    void CopyOut(uint8_t* destination, int32_t offset, int32_t count) const;

    std::unique_ptr<uint8_t[]> m_storage;
    int32_t m_capacity = 0;
    int32_t m_head = 0;
    int32_t m_length = 0;
    int32_t m_growthStep = kDefaultGrowthStep;
};

} // namespace brivox
