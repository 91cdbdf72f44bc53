#pragma once

#include "session/ByteRowStore.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>

namespace brivox {

// The contents of one traffic list: 16 bytes a row after the row label, then the ASCII column.
// Bytes are placed at once; rows reach the views at most every 100 ms while data streams, so a
// fast line costs a few repaints a second, not one per byte. Cell texts ("65", "6_") are made
// when asked for; the store keeps only bytes and kinds.
class CByteListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kLabelColumn = 0;
    static constexpr int kAsciiColumn = 17;
    static constexpr int kColumnCount = 18;
    static constexpr int kBytesPerRow = CByteRow::kCells;
    // A list keeps at most this many bytes; past it the oldest rows go, an eighth of the limit
    // at a time and always a multiple of 8 rows, so that the four-row colour blocks and the
    // TX/RX row pairs keep their places.
    static constexpr int64_t kByteLimit = int64_t{64} << 20;
    static constexpr int kFlushIntervalMs = 100;
    // Typing in "Key Stroke" mode keeps this many rows.
    static constexpr int kTypingRows = 8;

    explicit CByteListModel(bool rxOnly, int64_t byteLimit = kByteLimit, QObject* parent = nullptr);

    bool IsRxOnly() const { return m_rxOnly; }
    // Rows pair up (a TX row, then its RX row) in the TX&RX list in "Detail" mode without Test
    // Send; the RX list never pairs.
    void SetPaired(bool paired);
    bool IsPaired() const { return m_paired; }
    // The row kind as things stand now (the label was fixed when the row was appended).
    bool IsTxRow(int row) const { return !m_rxOnly && (!m_paired || row % 2 == 0); }

    void AddByte(uint8_t value, ByteKind kind);
    // marks: a LineMark a byte, or null when none has a line error.
    void AddBytes(const uint8_t* values, int count, ByteKind kind, const uint8_t* marks = nullptr);
    void Clear();
    // Before a typed byte is shown: once the list holds eight rows' worth of bytes, the oldest
    // row goes.
    void KeepTypingRows();

    // Publishes what was added since the last flush (the flush timer calls it).
    void Flush();

    // Bytes placed since the last clear, less those of dropped rows: where the next byte goes.
    int CellCount() const { return m_count; }
    int StoredRowCount() const { return m_store.RowCount(); }
    // Bytes of the rows dropped since the last clear, at the limit or while typing.
    int64_t DroppedBytes() const { return m_droppedBytes; }
    int64_t RowBytes() const { return m_store.RowBytes(); }
    // A published row, null when it is gone and not yet removed from the views.
    const CByteRow* RowAt(int row) const { return m_store.RowAt(row - m_pendingDrop); }

    // The tooltip of a cell: what line error the byte came with; empty when none.
    static QString CellToolTip(const CByteRow& row, int cell);
    // "65", or "6_" for a reply byte that did not match; empty for an empty cell.
    static QString CellText(const CByteRow& row, int cell);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    // A flush published a byte that began a row: the views scroll to the bottom.
    void RowStarted();

private:
    // Bytes that go to one row: the row is looked up once for them all.
    void PlaceRun(const uint8_t* values, const uint8_t* marks, int count, ByteKind kind);
    void TargetRow(int target, int lastRowOfCount);
    void EnsureRows(int lastRow);
    void DropFrontRows(int rows);
    void ScheduleFlush();

    const bool m_rxOnly;
    const int m_rowLimit;
    const int m_dropRows;
    bool m_paired = false;
    CByteRowStore m_store;
    int m_count = 0;
    int64_t m_droppedBytes = 0;

    // What the views know: the published rows, of which the first m_pendingDrop left the store
    // since; the first store row changed since the last flush.
    int m_published = 0;
    int m_pendingDrop = 0;
    int m_dirtyFrom = -1;
    bool m_rowStarted = false;
    // The row the last byte went to.
    int m_targetRow = -1;
    CByteRow* m_targetCells = nullptr;
    QTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;
};

} // namespace brivox
