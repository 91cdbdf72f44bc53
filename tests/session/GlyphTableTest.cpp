#include "session/GlyphTable.h"
#include "support/QtApp.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStaticText>
#include <gtest/gtest.h>

namespace brivox {
namespace {

QImage Canvas() {
    QImage canvas(80, 40, QImage::Format_RGB32);
    canvas.fill(QColor(228, 228, 255));
    return canvas;
}

// Pixels whose colour differs by more than rounding.
int Differences(const QImage& one, const QImage& other) {
    int count = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x) {
            const QColor a = one.pixelColor(x, y);
            const QColor b = other.pixelColor(x, y);
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue()) >
                6)
                ++count;
        }
    return count;
}

// A value's image lands where its text would have been drawn, whatever fraction of a pixel the
// vertical centring leaves, and follows a change of the box's height.
TEST(GlyphTableTest, AnImageLooksAsTheTextDrawnInItsPlace) {
    test::QtApp();
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    const QColor colour(0, 0, 180);
    const CGlyphTable table(font, colour, [](int value) { return QString::number(value); });
    const double lineHeight = QFontMetricsF(font).height();
    for (const int height : {15, 16, 17, 12})
        for (const int value : {0, 7, 128, 255}) {
            const QRect box(9, 6, 30, height);
            QImage drawn = Canvas();
            {
                QPainter painter(&drawn);
                table.Draw(painter, box, value);
            }
            QImage expected = Canvas();
            {
                QPainter painter(&expected);
                painter.setFont(font);
                painter.setPen(colour);
                painter.drawStaticText(QPointF(box.left(), box.top() + (height - lineHeight) / 2),
                                       QStaticText(QString::number(value)));
            }
            EXPECT_EQ(Differences(drawn, expected), 0) << "height " << height << " value " << value;
            EXPECT_NE(drawn, Canvas()) << value;
        }
}

} // namespace
} // namespace brivox
