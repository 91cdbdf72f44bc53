#pragma once

#include <cstdint>
#include <deque>
#include <memory>

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

// The rows of a list, kept in chunks of a fixed number of rows: appending never moves earlier
// rows, and dropping the oldest rows frees whole chunks without copying the rest.
class CByteRowStore {
public:
    static constexpr int kRowsPerChunk = 1024;

    int RowCount() const { return m_rowCount; }
    // Null for a row outside the store.
    const CByteRow* RowAt(int row) const;
    CByteRow* RowAt(int row);

    void AppendRow(bool txLabel);
    void DropFrontRows(int count);
    void Clear();

    // Bytes held by the chunks (for the memory figures of the benchmark).
    int64_t ReservedBytes() const;

private:
    using Chunk = std::unique_ptr<CByteRow[]>;

    std::deque<Chunk> m_chunks;
    int m_firstRow = 0; // index of row 0 in the first chunk
    int m_rowCount = 0;
};

} // namespace brivox
