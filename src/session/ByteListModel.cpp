#include "session/ByteListModel.h"

#include "serial/LineErrorDecoder.h"
#include "session/TrafficText.h"

#include <algorithm>
#include <bit>

namespace brivox {

namespace {

constexpr int kNoRow = -1;

int RowLimit(int64_t byteLimit) {
    return static_cast<int>(std::max<int64_t>(byteLimit / CByteRow::kCells, 8));
}

// An eighth of the limit, in whole blocks of 8 rows.
int DropRows(int rowLimit) {
    return std::max(8, rowLimit / 8 / 8 * 8);
}

} // namespace

CByteListModel::CByteListModel(bool rxOnly, int64_t byteLimit, QObject* parent)
    : QAbstractTableModel(parent), m_rxOnly(rxOnly), m_rowLimit(RowLimit(byteLimit)),
      m_dropRows(DropRows(m_rowLimit)), m_dirtyFrom(kNoRow), m_targetRow(kNoRow) {
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &CByteListModel::Flush);
}

void CByteListModel::SetPaired(bool paired) {
    m_paired = paired && !m_rxOnly;
}

void CByteListModel::AddByte(uint8_t value, ByteKind kind) {
    PlaceRun(&value, nullptr, 1, kind);
    ScheduleFlush();
}

void CByteListModel::AddBytes(const uint8_t* values, int count, ByteKind kind,
                              const uint8_t* marks) {
    for (int i = 0; i < count;) {
        const int run = std::min(count - i, kBytesPerRow - m_count % kBytesPerRow);
        PlaceRun(values + i, marks != nullptr ? marks + i : nullptr, run, kind);
        i += run;
    }
    ScheduleFlush();
}

// Sent bytes go to the row of the count; in the TX&RX list replies go to the row after it (the
// RX row of a pair). The count is shared, so a reply continues after the request's columns.
void CByteListModel::PlaceRun(const uint8_t* values, const uint8_t* marks, int count,
                              ByteKind kind) {
    const int rowOfCount = m_paired ? m_count / kBytesPerRow * 2 : m_count / kBytesPerRow;
    const int target = rowOfCount + (!m_rxOnly && kind != ByteKind::Sent ? 1 : 0);
    if (target != m_targetRow)
        TargetRow(target, m_paired ? rowOfCount + 1 : rowOfCount);
    const int cell = m_count % kBytesPerRow;
    m_targetCells->SetRun(cell, values, marks, count, kind);
    m_rowStarted |= cell == 0;
    m_count += count;
}

// Looked up once per row, not once per byte.
void CByteListModel::TargetRow(int target, int lastRowOfCount) {
    EnsureRows(std::max(target, lastRowOfCount));
    if (m_store.RowCount() > m_rowLimit) {
        DropFrontRows(m_dropRows);
        target -= m_dropRows;
    }
    m_targetRow = target;
    m_targetCells = m_store.RowAt(target);
    if (m_dirtyFrom == kNoRow || target < m_dirtyFrom)
        m_dirtyFrom = target;
}

void CByteListModel::EnsureRows(int lastRow) {
    while (m_store.RowCount() <= lastRow)
        m_store.AppendRow(IsTxRow(m_store.RowCount()));
}

// The count drops by the bytes of the rows that go: 16 a row, 16 a pair of rows when paired.
void CByteListModel::DropFrontRows(int rows) {
    rows = std::min(rows, m_store.RowCount());
    for (int row = 0; row < rows; ++row)
        m_droppedBytes += std::popcount(FilledCells(*m_store.RowAt(row)));
    m_store.DropFrontRows(rows);
    m_count = std::max(0, m_count - rows * kBytesPerRow / (m_paired ? 2 : 1));
    m_pendingDrop += rows;
    m_targetRow = kNoRow;
    if (m_dirtyFrom != kNoRow)
        m_dirtyFrom = std::max(0, m_dirtyFrom - rows);
}

void CByteListModel::KeepTypingRows() {
    if (m_count >= kTypingRows * kBytesPerRow) {
        DropFrontRows(1);
        ScheduleFlush();
    }
}

void CByteListModel::Clear() {
    beginResetModel();
    m_store.Clear();
    m_count = 0;
    m_droppedBytes = 0;
    m_published = 0;
    m_pendingDrop = 0;
    m_dirtyFrom = kNoRow;
    m_targetRow = kNoRow;
    m_rowStarted = false;
    m_flushTimer.stop();
    endResetModel();
}

void CByteListModel::ScheduleFlush() {
    if (m_flushTimer.isActive())
        return;
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kFlushIntervalMs;
    if (since >= kFlushIntervalMs)
        Flush();
    else
        m_flushTimer.start(static_cast<int>(kFlushIntervalMs - since));
}

void CByteListModel::Flush() {
    m_flushTimer.stop();
    m_sinceFlush.start();
    const int removed = std::min(m_pendingDrop, m_published);
    if (removed > 0) {
        beginRemoveRows(QModelIndex(), 0, removed - 1);
        m_published -= removed;
        m_pendingDrop -= removed;
        endRemoveRows();
    }
    m_pendingDrop = 0; // rows dropped before they were published were never shown
    const int known = m_published;
    if (m_dirtyFrom != kNoRow && m_dirtyFrom < known)
        emit dataChanged(index(m_dirtyFrom, 1), index(known - 1, kBytesPerRow));
    m_dirtyFrom = kNoRow;
    m_targetRow = kNoRow; // the next byte marks its row changed again
    if (m_store.RowCount() > known) {
        beginInsertRows(QModelIndex(), known, m_store.RowCount() - 1);
        m_published = m_store.RowCount();
        endInsertRows();
    }
    if (m_rowStarted) {
        m_rowStarted = false;
        emit RowStarted();
    }
}

QString CByteListModel::CellText(const CByteRow& row, int cell) {
    if (!row.HasCell(cell))
        return {};
    QString text = QString::number(row.Value(cell));
    if (row.Kind(cell) == ByteKind::Mismatch)
        text += QLatin1Char('_');
    return text;
}

int CByteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_published;
}

int CByteListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString CByteListModel::CellToolTip(const CByteRow& row, int cell) {
    if (!row.HasCell(cell) || !row.HasLineError(cell))
        return {};
    return QString::fromLatin1(LineErrorText(row.Value(cell)));
}

QVariant CByteListModel::data(const QModelIndex& index, int role) const {
    const CByteRow* row = index.isValid() ? RowAt(index.row()) : nullptr;
    const bool byteCell = index.column() > kLabelColumn && index.column() < kAsciiColumn;
    if (role == Qt::ToolTipRole && row != nullptr && byteCell) {
        const QString tip = CellToolTip(*row, index.column() - 1);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (role != Qt::DisplayRole || row == nullptr)
        return {};
    if (index.column() == kLabelColumn)
        return row->txLabel ? QStringLiteral("TX") : QStringLiteral("RX");
    if (index.column() == kAsciiColumn)
        return QString();
    return CellText(*row, index.column() - 1);
}

} // namespace brivox
