#include "session/ByteRowStore.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace brivox {

void CByteRow::Set(int cell, uint8_t value, ByteKind kind, bool lineError) {
    values[cell] = value;
    const unsigned shift = 2 * static_cast<unsigned>(cell);
    states = (states & ~(3u << shift)) | ((static_cast<unsigned>(kind) + 1) << shift);
    const auto bit = static_cast<uint16_t>(1u << cell);
    lineErrors = static_cast<uint16_t>(lineError ? lineErrors | bit : lineErrors & ~bit);
}

void CByteRow::SetRun(int cell, const uint8_t* bytes, const uint8_t* marks, int count,
                      ByteKind kind) {
    std::memcpy(values + cell, bytes, static_cast<size_t>(count));
    const unsigned shift = 2 * static_cast<unsigned>(cell);
    const uint64_t cellsMask = ((uint64_t{1} << (2 * count)) - 1) << shift;
    const uint64_t state = uint64_t{0x5555555555555555} * (static_cast<unsigned>(kind) + 1);
    states = static_cast<uint32_t>((states & ~cellsMask) | (state & cellsMask));
    unsigned errors = 0;
    for (int i = 0; marks != nullptr && i < count; ++i)
        errors |= (marks[i] != 0 ? 1u : 0u) << (cell + i);
    const unsigned bits = ((1u << count) - 1) << cell;
    lineErrors = static_cast<uint16_t>((lineErrors & ~bits) | errors);
}

const CByteRow* CByteRowStore::RowAt(int row) const {
    if (row < 0 || row >= m_rowCount)
        return nullptr;
    const int index = m_firstRow + row;
    return &m_chunks[static_cast<size_t>(index / kRowsPerChunk)][index % kRowsPerChunk];
}

CByteRow* CByteRowStore::RowAt(int row) {
    return const_cast<CByteRow*>(std::as_const(*this).RowAt(row));
}

void CByteRowStore::AppendRow(bool txLabel) {
    const int index = m_firstRow + m_rowCount;
    if (index == static_cast<int>(m_chunks.size()) * kRowsPerChunk)
        m_chunks.push_back(std::make_unique<CByteRow[]>(kRowsPerChunk));
    CByteRow& row = m_chunks[static_cast<size_t>(index / kRowsPerChunk)][index % kRowsPerChunk];
    row = CByteRow{};
    row.txLabel = txLabel;
    ++m_rowCount;
}

void CByteRowStore::DropFrontRows(int count) {
    count = std::clamp(count, 0, m_rowCount);
    m_firstRow += count;
    m_rowCount -= count;
    while (m_firstRow >= kRowsPerChunk) {
        m_chunks.pop_front();
        m_firstRow -= kRowsPerChunk;
    }
    if (m_rowCount == 0)
        Clear();
}

void CByteRowStore::Clear() {
    m_chunks.clear();
    m_firstRow = 0;
    m_rowCount = 0;
}

int64_t CByteRowStore::ReservedBytes() const {
    return static_cast<int64_t>(m_chunks.size()) * kRowsPerChunk * sizeof(CByteRow);
}

} // namespace brivox
