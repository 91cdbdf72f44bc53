#include "platform/CaretBlink.h"

#include "support/PortTestSupport.h"
#include "support/QtApp.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace brivox {
namespace {

TEST(CaretBlinkTest, CaretsStopAfterTheTimeoutAndBlinkAgainOnInput) {
    test::QtApp();
    const int platformMs = QApplication::cursorFlashTime(); // offscreen carets may not blink
    const int flashMs = 1000;
    QApplication::setCursorFlashTime(flashMs);
    QLineEdit edit;
    edit.show();
    {
        CCaretBlink blink(50);
        EXPECT_TRUE(blink.Blinking());
        EXPECT_TRUE(test::RunEventsUntil([&] { return !blink.Blinking(); }, 2000));
        QTest::keyClick(&edit, Qt::Key_A);
        EXPECT_EQ(QApplication::cursorFlashTime(), flashMs);
        EXPECT_TRUE(test::RunEventsUntil([&] { return !blink.Blinking(); }, 2000));
        QTest::mouseClick(&edit, Qt::LeftButton);
        EXPECT_TRUE(blink.Blinking());
        EXPECT_TRUE(test::RunEventsUntil([&] { return !blink.Blinking(); }, 2000));
    }
    EXPECT_EQ(QApplication::cursorFlashTime(), flashMs); // given back when it goes
    QApplication::setCursorFlashTime(platformMs);
}

} // namespace
} // namespace brivox
