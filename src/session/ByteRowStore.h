#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace brivox {

// How a byte came to a list: 1 sent; 2 received, or a reply byte as expected; 0 a reply byte that
// differed from what the script expected.
enum class ByteKind : uint8_t { Mismatch = 0, Sent = 1, Received = 2 };

// One row of a list: 16 cells, each empty or a byte with its kind, and the label the row was
// given when it was appended, and which bytes came with a line error. 24 bytes for 16 bytes of
// traffic.
struct CByteRow {
    static constexpr int kCells = 16;

    uint8_t values[kCells] = {};
    uint32_t states = 0;     // 2 bits a cell: 0 empty, else 1 + the kind
    uint16_t lineErrors = 0; // a bit a cell
    bool txLabel = false;

    bool HasCell(int cell) const { return State(cell) != 0; }
    uint8_t Value(int cell) const { return values[cell]; }
    ByteKind Kind(int cell) const { return static_cast<ByteKind>(State(cell) - 1); }
    bool HasLineError(int cell) const { return (lineErrors >> cell & 1u) != 0; }
    void Set(int cell, uint8_t value, ByteKind kind, bool lineError = false);
    // count cells from cell on, at most to the row's end, at once; marks: a LineMark a byte, or
    // null for none.
    void SetRun(int cell, const uint8_t* bytes, const uint8_t* marks, int count, ByteKind kind);

private:
    unsigned State(int cell) const { return (states >> (2 * cell)) & 3u; }
};

// The rows of a list, kept in blocks of 2 MiB taken from the kernel: appending never moves
// earlier rows, and dropping the oldest rows frees whole blocks without copying the rest. Past
// the first block, blocks are asked for as huge pages: a fast stream then costs a page fault
// per 87,381 rows rather than one per 170, and a short list stays small.
class CByteRowStore {
public:
    static constexpr size_t kBlockBytes = size_t{2} << 20;
    static constexpr int kRowsPerChunk = static_cast<int>(kBlockBytes / sizeof(CByteRow));

    CByteRowStore() = default;
    CByteRowStore(const CByteRowStore&) = delete;
    CByteRowStore& operator=(const CByteRowStore&) = delete;
    ~CByteRowStore();

    int RowCount() const { return m_rowCount; }
    // Null for a row outside the store.
    const CByteRow* RowAt(int row) const;
    CByteRow* RowAt(int row);

    void AppendRow(bool txLabel);
    void DropFrontRows(int count);
    void Clear();

    // Bytes the rows take (for the memory figures of the benchmark).
    int64_t RowBytes() const { return static_cast<int64_t>(m_rowCount) * sizeof(CByteRow); }

private:
    // A block's rows come to life as they are appended.
    static CByteRow* NewBlock(bool huge);
    static void FreeBlock(CByteRow* block);

    std::deque<CByteRow*> m_blocks;
    // Blocks the oldest rows left, kept for the next rows until the store is cleared: at the
    // list's limit rows go and come all the time, and zeroing fresh huge pages for them cost
    // more than the rest of the list's work. The store then stays at its largest size.
    std::vector<CByteRow*> m_spares;
    int m_firstRow = 0; // index of row 0 in the first block
    int m_rowCount = 0;
};

} // namespace brivox
