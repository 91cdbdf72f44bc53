#include "session/GlyphTable.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStaticText>
#include <cmath>

namespace brivox {

namespace {

// Room around a text for glyphs that reach past their advance or above the line.
constexpr int kMargin = 2;

} // namespace

CGlyphTable::CGlyphTable(QFont font, QColor color, std::function<QString(int)> textOf)
    : m_font(std::move(font)), m_color(color), m_textOf(std::move(textOf)),
      m_lineHeight(QFontMetricsF(m_font).height()) {}

void CGlyphTable::Draw(QPainter& painter, const QRect& box, int value) const {
    const QImage& image = Image(value, box.height(), painter.device()->devicePixelRatio());
    if (image.isNull())
        return;
    // The whole pixels of the offset go into the position, the fraction into the image.
    const int top = static_cast<int>(std::floor(CentredTop(box.height())));
    painter.drawImage(QPoint(box.left() - kMargin, box.top() + top - kMargin), image);
}

double CGlyphTable::CentredTop(int boxHeight) const {
    return (boxHeight - m_lineHeight) / 2;
}

const QImage& CGlyphTable::Image(int value, int boxHeight, qreal pixelRatio) const {
    if (boxHeight != m_boxHeight || pixelRatio != m_pixelRatio) {
        m_images.fill(QImage());
        m_rendered.fill(false);
        m_boxHeight = boxHeight;
        m_pixelRatio = pixelRatio;
    }
    if (!m_rendered[value]) {
        const double top = CentredTop(boxHeight);
        m_images[value] = Render(value, top - std::floor(top), pixelRatio);
        m_rendered[value] = true;
    }
    return m_images[value];
}

QImage CGlyphTable::Render(int value, double top, qreal pixelRatio) const {
    const QString text = m_textOf(value);
    if (text.isEmpty())
        return {};
    const QSizeF size(QFontMetricsF(m_font).horizontalAdvance(text) + 2 * kMargin,
                      m_lineHeight + 1 + 2 * kMargin);
    QImage image((size * pixelRatio).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    QStaticText layout(text);
    layout.setTextFormat(Qt::PlainText);
    QPainter painter(&image);
    painter.setFont(m_font);
    painter.setPen(m_color);
    painter.drawStaticText(QPointF(kMargin, kMargin + top), layout);
    return image;
}

} // namespace brivox
