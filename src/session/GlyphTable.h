#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <array>
#include <functional>

class QPainter;
class QRect;

namespace brivox {

// The texts of the 256 byte values in one font and colour, each drawn into an image of its own
// the first time it is needed. A list repaints hundreds of cells ten times a second while bytes
// stream; blitting a finished image costs a fraction of drawing the text again, which looks up
// and lays out its glyphs on every call.
class CGlyphTable {
public:
    CGlyphTable(QFont font, QColor color, std::function<QString(int)> textOf);

    // Left-aligned in the box and centred vertically, as the text itself would be drawn.
    void Draw(QPainter& painter, const QRect& box, int value) const;

private:
    // Where the text's top lies below a box's top, to a fraction of a pixel.
    double CentredTop(int boxHeight) const;
    // The image of a value for boxes of this height on a device of this pixel ratio; null for an
    // empty text.
    const QImage& Image(int value, int boxHeight, qreal pixelRatio) const;
    QImage Render(int value, double top, qreal pixelRatio) const;

    QFont m_font;
    QColor m_color;
    std::function<QString(int)> m_textOf;
    double m_lineHeight;
    // Made for one box height and pixel ratio; another drops them all.
    mutable std::array<QImage, 256> m_images;
    mutable std::array<bool, 256> m_rendered = {};
    mutable int m_boxHeight = -1;
    mutable qreal m_pixelRatio = 0;
};

} // namespace brivox
