#pragma once

#include "session/ByteRowStore.h"

#include <QAbstractItemDelegate>

class QPainter;

namespace brivox {

class CByteListModel;

// Paints every cell of a traffic list itself: the row label on its TX or RX fill, the bytes on
// four-by-four blocks of blue-tinted and grey shades (in HEX or DEC, with the character after a
// printable value and the cross of a mismatching reply), and the ASCII column in four groups;
// a selected cell gets a tint on top.
// Texts are images of the 256 values, each drawn once, so a repaint lays out no text.
class CByteCellDelegate : public QAbstractItemDelegate {
public:
    explicit CByteCellDelegate(const CByteListModel& model, QObject* parent = nullptr);

    void SetHexView(bool hex) { m_hex = hex; }
    bool IsHexView() const { return m_hex; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The ASCII column's character for a cell: the value from 33 to 127, else a space.
    static QChar AsciiCharacter(const CByteRow& row, int cell);

private:
    void PaintLabel(QPainter& painter, const QRect& cell, const CByteRow& row, bool txRow) const;
    void PaintByte(QPainter& painter, const QRect& cell, const CByteRow& row, int column,
                   int rowIndex, bool txRow) const;
    void PaintAscii(QPainter& painter, const QRect& cell, const CByteRow& row) const;

    const CByteListModel& m_model;
    bool m_hex = true;
};

} // namespace brivox
