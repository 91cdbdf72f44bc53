#include "session/ByteCellDelegate.h"

#include "session/ByteListModel.h"
#include "session/GlyphTable.h"

#include <QFontMetricsF>
#include <QPainter>
#include <array>
#include <cmath>

namespace brivox {

namespace {

constexpr int kCharacterOffsetX = 19;
constexpr int kCharacterOffsetY = 2;
constexpr int kAsciiGroups = 4;
constexpr int kAsciiGroupWidth = 28;
constexpr int kAsciiCharWidth = 7;
// A byte that came with a parity or framing error, or a BREAK.
const QColor kLineErrorFill(240, 80, 80);
// Laid over a selected cell, so that its own fill and marks still show through.
const QColor kSelectionTint(30, 90, 210, 90);

bool IsShownAsCharacter(uint8_t value) {
    return value >= 33 && value <= 127;
}

// A font as the window system describes one: cell height and average character width in pixels.
QFont LogicalFont(const char* face, int height, int width) {
    QFont font(QString::fromLatin1(face));
    font.setPixelSize(height);
    const QFontMetricsF full(font);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(height * height / full.height()))));
    const double average = QFontMetricsF(font).averageCharWidth();
    if (average > 0)
        font.setStretch(std::clamp(static_cast<int>(std::lround(100 * width / average)), 1, 4000));
    return font;
}

QString HexText(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString DecimalText(int value) {
    return QString::number(value);
}

QString CharacterText(int value) {
    return IsShownAsCharacter(static_cast<uint8_t>(value)) ? QString(QChar(value)) : QString();
}

QString LabelText(int value) {
    return value == 1 ? QStringLiteral("TX") : QStringLiteral("RX");
}

enum GlyphSet {
    kHexNumbers,
    kDecimalNumbers,
    kCharacters,
    kAsciiShadedCharacters,
    kAsciiPlainCharacters,
    kLabels
};

const CGlyphTable& Glyphs(GlyphSet set) {
    static const std::array<CGlyphTable, 6> tables = {
        CGlyphTable(LogicalFont("Arial", 15, 5), Qt::black, HexText),
        CGlyphTable(LogicalFont("Arial", 13, 4), QColor(0, 0, 180), DecimalText),
        CGlyphTable(LogicalFont("Arial", 14, 5), QColor(128, 128, 128), CharacterText),
        CGlyphTable(LogicalFont("Courier New", 14, 7), Qt::black, CharacterText),
        CGlyphTable(LogicalFont("Courier New", 14, 7), QColor(100, 100, 100), CharacterText),
        CGlyphTable(LogicalFont("Arial", 15, 5), Qt::black, LabelText),
    };
    return tables[set];
}

// Blue-tinted where the four-column group and the four-row block differ in parity, grey where
// they agree; the shade lightens across each group.
QColor ByteFill(int column, int row) {
    const int shade = 228 + 8 * ((column - 1) % 4);
    const bool blue = ((column - 1) / 4) % 2 != (row / 4) % 2;
    return blue ? QColor(shade, shade, 255) : QColor(shade, shade, shade);
}

} // namespace

CByteCellDelegate::CByteCellDelegate(const CByteListModel& model, QObject* parent)
    : QAbstractItemDelegate(parent), m_model(model) {}

void CByteCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const CByteRow* row = m_model.RowAt(index.row());
    if (row == nullptr)
        return;
    // A cell sets the pen of any line it draws, so the painter needs no saving.
    const bool txRow = m_model.IsTxRow(index.row());
    if (index.column() == CByteListModel::kLabelColumn)
        PaintLabel(*painter, option.rect, *row, txRow);
    else if (index.column() == CByteListModel::kAsciiColumn)
        PaintAscii(*painter, option.rect, *row);
    else
        PaintByte(*painter, option.rect, *row, index.column(), index.row(), txRow);
    if (option.state & QStyle::State_Selected)
        painter->fillRect(option.rect, kSelectionTint);
}

QSize CByteCellDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {30, 16};
}

void CByteCellDelegate::PaintLabel(QPainter& painter, const QRect& cell, const CByteRow& row,
                                   bool txRow) const {
    painter.fillRect(cell, txRow ? QColor(180, 180, 230) : QColor(230, 180, 180));
    Glyphs(kLabels).Draw(painter, cell.translated(3, -1), row.txLabel ? 1 : 0);
}

void CByteCellDelegate::PaintByte(QPainter& painter, const QRect& cell, const CByteRow& row,
                                  int column, int rowIndex, bool txRow) const {
    const int index = column - 1;
    const bool lineError = row.HasCell(index) && row.HasLineError(index);
    painter.fillRect(cell, lineError ? kLineErrorFill : ByteFill(column, rowIndex));
    if (!row.HasCell(index))
        return;
    const uint8_t value = row.Value(index);
    if (row.Kind(index) == ByteKind::Mismatch && !txRow) {
        painter.setPen(QColor(255, 150, 150));
        painter.drawLine(cell.topRight(), QPoint(cell.left(), cell.bottom() - 2));
    }
    const QRect number = cell.translated(m_hex ? 3 : 2, -1);
    Glyphs(m_hex ? kHexNumbers : kDecimalNumbers).Draw(painter, number, value);
    if (IsShownAsCharacter(value))
        Glyphs(kCharacters)
            .Draw(painter, number.translated(kCharacterOffsetX, kCharacterOffsetY), value);
}

void CByteCellDelegate::PaintAscii(QPainter& painter, const QRect& cell,
                                   const CByteRow& row) const {
    painter.fillRect(cell, Qt::white);
    for (int group = 0; group < kAsciiGroups; ++group) {
        const bool shaded = group % 2 == 0;
        const QRect box(cell.left() + 2 + group * kAsciiGroupWidth, cell.top(), kAsciiGroupWidth,
                        cell.height());
        painter.fillRect(box, shaded ? QColor(235, 235, 235) : QColor(Qt::white));
        const CGlyphTable& glyphs = Glyphs(shaded ? kAsciiShadedCharacters : kAsciiPlainCharacters);
        for (int k = 0; k < 4; ++k) {
            const QChar character = AsciiCharacter(row, group * 4 + k);
            if (character != QLatin1Char(' '))
                glyphs.Draw(painter, box.adjusted(k * kAsciiCharWidth, 0, 0, 0),
                            character.unicode());
        }
    }
}

QChar CByteCellDelegate::AsciiCharacter(const CByteRow& row, int cell) {
    if (!row.HasCell(cell) || !IsShownAsCharacter(row.Value(cell)))
        return QLatin1Char(' ');
    return QChar(row.Value(cell));
}

} // namespace brivox
