#include "trace/XTraceWindow.h"

#include "platform/RichEdit.h"
#include "support/PaneLines.h"
#include "support/QtApp.h"
#include "trace/TraceClient.h"

#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace brivox {
namespace {

using test::PaneLines;

class XTraceWindowTest : public testing::Test {
protected:
    XTraceWindowTest() {
        m_window.resize(800, 600);
        m_window.show();
    }
    ~XTraceWindowTest() override { SetOwnTraceWindowRect({0, 0, 200, 700}); }

    void Execute(const std::vector<std::string>& commands) {
        for (const std::string& command : commands)
            m_window.Execute(command);
    }
    bool VariablesShow(int pane, const QString& text) {
        return QTest::qWaitFor([&] { return m_window.VariablePane(pane).toPlainText() == text; });
    }

    test::CQtAppFirst m_app;
    CXTraceWindow m_window;
};

TEST_F(XTraceWindowTest, CommandsFillThePanes) {
    EXPECT_TRUE(m_window.ChannelError().empty()) << m_window.ChannelError();
    EXPECT_TRUE(m_window.DisplayLog().isChecked());
    EXPECT_EQ(m_window.DisplayLog().text(), "Display Log");
    Execute({"xts:speed=9600", "xts:speed=19200", "xts:c=1", "xts:novalue", "xta1:first",
             "xta2t:second", "xta1:third"});
    EXPECT_TRUE(VariablesShow(1, "speed=19200"));
    EXPECT_TRUE(VariablesShow(0, "c=1"));
    EXPECT_EQ(m_window.VariablePane(2).toPlainText(), "");
    EXPECT_EQ(PaneLines(m_window.PaneA()), (QStringList{"first", "third"}));
    const QString paneB = m_window.PaneB().toPlainText();
    EXPECT_TRUE(
        QRegularExpression("^ {0,9}\\d\\d:\\d\\d:\\d\\d second\\n$").match(paneB).hasMatch())
        << paneB.toStdString();

    // Each line has its own dark colour and is not bold, though the panes' font is.
    const QTextBlock block = m_window.PaneA().document()->findBlockByNumber(0);
    const QTextCharFormat format = block.begin().fragment().charFormat();
    EXPECT_TRUE(m_window.PaneA().font().bold());
    EXPECT_EQ(format.fontWeight(), QFont::Normal);
    const QColor colour = format.foreground().color();
    EXPECT_TRUE(colour.red() < 150 && colour.green() < 150 && colour.blue() < 150);

    Execute({"xtd:speed"});
    EXPECT_TRUE(VariablesShow(1, ""));
    Execute({"xtcanything"});
    EXPECT_EQ(m_window.PaneA().toPlainText(), "");
    EXPECT_EQ(m_window.PaneB().toPlainText(), "");
}

TEST_F(XTraceWindowTest, LinesDroppedWhileDisplayLogIsUncheckedStayDropped) {
    Execute({"xta1:shown"});
    m_window.DisplayLog().click();
    Execute({"xta1:dropped", "xta2t:dropped too"});
    m_window.DisplayLog().click();
    Execute({"xta1:shown again"});
    EXPECT_EQ(PaneLines(m_window.PaneA()), (QStringList{"shown", "shown again"}));
    EXPECT_EQ(m_window.PaneB().toPlainText(), "");
}

TEST_F(XTraceWindowTest, ALongLogKeepsItsLast10240Characters) {
    CRichEdit& pane = m_window.PaneA();
    QString before;
    for (int line = 0; pane.toPlainText().size() >= before.size(); ++line) {
        ASSERT_LT(line, 200) << "the pane was never cut";
        before = pane.toPlainText();
        Execute({"xta1:" + std::to_string(line) +
                 std::string(8000, static_cast<char>('a' + line % 26))});
    }
    const QString after = pane.toPlainText();
    ASSERT_EQ(after.size(), 10'240);
    const QString lastLine = after.mid(after.lastIndexOf(u'\n', -2) + 1);
    EXPECT_EQ((before + lastLine).right(10'240), after);
    EXPECT_GT(before.size(), 819'200 - 8'020);
}

TEST_F(XTraceWindowTest, RectangleMovesTheWindowAndKeepsAtLeastOnePixel) {
    Execute({"xtrect:10,20,410,620"});
    EXPECT_EQ(OwnTraceWindowRect(), (CTraceRect{10, 20, 410, 620}));
    EXPECT_EQ(m_window.pos(), QPoint(10, 20));
    EXPECT_EQ(m_window.size(), QSize(400, 600));
    Execute({"xtrect:5"});
    EXPECT_EQ(OwnTraceWindowRect(), (CTraceRect{5, 0, 0, 0}));
    EXPECT_EQ(m_window.pos(), QPoint(5, 0));
    EXPECT_EQ(m_window.size(), QSize(1, 1));
    Execute({"xtrect:-2147483648,0,2147483647,100"});
    EXPECT_EQ(m_window.height(), 100);
}

TEST_F(XTraceWindowTest, PhotographedWithLinesInBothPanesAndVariablesInAllThree) {
    Execute({"xts:c=1", "xts:baud=9600", "xts:port=COM3", "xts:a=on", "xts:state=open",
             "xts:bytes=1024", "xta1:trying to open port 3", "xta1t:JPExecute 1.0", "xta1:plus 0A",
             "xta2:Trying to change to 9600,N,8,1(4)", "xta2t:bTWSDSend=1", "xta2:reply 06 00 10"});
    for (int pane = 0; pane < 3; ++pane)
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return !m_window.VariablePane(pane).toPlainText().isEmpty();
        })) << "pane "
            << pane;
    const QFontInfo font(m_window.DisplayLog().font());
    EXPECT_TRUE(font.bold() && font.pointSize() == 8) << font.family().toStdString();
    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    const QString file = QStringLiteral(BRIVOX_SCREENSHOT_DIR "/trace-window.png");
    EXPECT_TRUE(m_window.grab().save(file)) << file.toStdString();
}

} // namespace
} // namespace brivox
