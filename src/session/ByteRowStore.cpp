#include "session/ByteRowStore.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/mman.h>
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
    return &m_blocks[static_cast<size_t>(index / kRowsPerChunk)][index % kRowsPerChunk];
}

CByteRow* CByteRowStore::RowAt(int row) {
    return const_cast<CByteRow*>(std::as_const(*this).RowAt(row));
}

CByteRowStore::~CByteRowStore() {
    Clear();
}

CByteRow* CByteRowStore::NewBlock(bool huge) {
    void* block =
        mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    if (huge)
        madvise(block, kBlockBytes, MADV_HUGEPAGE); // a hint: without it the rows work the same
    return static_cast<CByteRow*>(block);
}

void CByteRowStore::FreeBlock(CByteRow* block) {
    munmap(block, kBlockBytes);
}

void CByteRowStore::AppendRow(bool txLabel) {
    const int index = m_firstRow + m_rowCount;
    if (index == static_cast<int>(m_blocks.size()) * kRowsPerChunk) {
        if (m_spares.empty()) {
            m_blocks.push_back(NewBlock(!m_blocks.empty()));
        } else {
            m_blocks.push_back(m_spares.back());
            m_spares.pop_back();
        }
    }
    CByteRow* row =
        new (&m_blocks[static_cast<size_t>(index / kRowsPerChunk)][index % kRowsPerChunk])
            CByteRow{};
    row->txLabel = txLabel;
    ++m_rowCount;
}

void CByteRowStore::DropFrontRows(int count) {
    count = std::clamp(count, 0, m_rowCount);
    m_firstRow += count;
    m_rowCount -= count;
    while (m_firstRow >= kRowsPerChunk) {
        m_spares.push_back(m_blocks.front());
        m_blocks.pop_front();
        m_firstRow -= kRowsPerChunk;
    }
    if (m_rowCount == 0)
        Clear();
}

void CByteRowStore::Clear() {
    for (CByteRow* block : m_blocks)
        FreeBlock(block);
    for (CByteRow* block : m_spares)
        FreeBlock(block);
    m_blocks.clear();
    m_spares.clear();
    m_firstRow = 0;
    m_rowCount = 0;
}

} // namespace brivox
