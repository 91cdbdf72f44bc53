#include "trace/XTraceWindow.h"

#include "platform/RichEdit.h"
#include "support/PaneLines.h"
#include "support/QtApp.h"
#include "trace/TraceClient.h"
#include "trace/TracePaneText.h"

#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QRegularExpression>
#include <QScreen>
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

TEST_F(XTraceWindowTest, CommandsFillThePanesWhileDisplayLogIsChecked) {
    EXPECT_EQ(m_window.ChannelError(), "");
    EXPECT_TRUE(m_window.DisplayLog().isChecked());
    Execute({"xts:speed=9600", "xts:speed=19200", "xts:c=1", "xta1:first", "xta2t:second"});
    EXPECT_TRUE(VariablesShow(1, "speed=19200"));
    EXPECT_EQ(m_window.VariablePane(0).toPlainText(), "c=1");
    const QString paneB = m_window.PaneB().toPlainText();
    EXPECT_TRUE(
        QRegularExpression("^ {0,9}\\d\\d:\\d\\d:\\d\\d second\\n$").match(paneB).hasMatch())
        << paneB.toStdString();
    // Each line has its own dark colour and is not bold, though the panes' font is.
    const QTextCharFormat format =
        m_window.PaneA().document()->begin().begin().fragment().charFormat();
    EXPECT_TRUE(m_window.PaneA().font().bold());
    EXPECT_EQ(format.fontWeight(), QFont::Normal);
    const QColor colour = format.foreground().color();
    EXPECT_TRUE(colour.red() < 150 && colour.green() < 150 && colour.blue() < 150);

    Execute({"xtd:speed", "xtcanything"});
    EXPECT_TRUE(VariablesShow(1, ""));
    EXPECT_EQ(m_window.PaneA().toPlainText() + m_window.PaneB().toPlainText(), "");

    Execute({"xta1:shown"});
    m_window.DisplayLog().click();
    Execute({"xta1:dropped", "xta2t:dropped too"});
    m_window.DisplayLog().click();
    Execute({"xta1:shown again"});
    EXPECT_EQ(PaneLines(m_window.PaneA()), (QStringList{"shown", "shown again"}))
        << "lines dropped while Display Log is unchecked stay dropped";
    EXPECT_EQ(m_window.PaneB().toPlainText(), "");
}

TEST_F(XTraceWindowTest, ALongLogKeepsItsLast10240Characters) {
    CRichEdit& pane = m_window.PaneA();
    QString before;
    for (int line = 0; pane.toPlainText().size() >= before.size(); ++line) {
        ASSERT_LT(line, 200) << "the pane was never cut";
        before = pane.toPlainText();
        Execute({"xta1:" + std::to_string(line) + std::string(8000, 'a' + line % 26)});
    }
    const QString after = pane.toPlainText();
    ASSERT_EQ(after.size(), 10'240);
    const QString lastLine = after.mid(after.lastIndexOf(u'\n', -2) + 1);
    EXPECT_EQ((before + lastLine).right(10'240), after);
}

TEST_F(XTraceWindowTest, RectangleMovesTheWindowAndKeepsAtLeastOnePixel) {
    Execute({"xtrect:10,20,410,620"});
    EXPECT_EQ(OwnTraceWindowRect(), (CTraceRect{10, 20, 410, 620}));
    EXPECT_EQ(m_window.geometry().size(), QSize(400, 600));
    EXPECT_EQ(m_window.pos(), QPoint(10, 20));
    Execute({"xtrect:5"});
    EXPECT_EQ(m_window.geometry().size(), QSize(1, 1));
    Execute({"xtrect:-2147483648,0,2147483647,100"});
    EXPECT_EQ(m_window.height(), 100);
}

TEST_F(XTraceWindowTest, ARectangleLargerThanTheScreenOrOffItIsFittedToTheScreen) {
    const QRect screen = m_window.screen()->availableGeometry();
    for (const char* command : {"xtrect:0,0,32767,32767", "xtrect:-50000,-50000,-49000,-49000",
                                "xtrect:40000,40000,40100,40100"}) {
        Execute({command});
        const QRect frame = m_window.frameGeometry();
        EXPECT_LE(frame.width(), screen.width()) << command;
        EXPECT_LE(frame.height(), screen.height()) << command;
        EXPECT_TRUE(screen.contains(frame.topLeft())) << command;
    }
    EXPECT_EQ(m_window.size(), QSize(100, 100));
    EXPECT_EQ(OwnTraceWindowRect(), (CTraceRect{40000, 40000, 40100, 40100}))
        << "the rectangle asked for is kept, only the window is fitted";
}

TEST_F(XTraceWindowTest, VariablesBeyondTheCapsAreCutOrDroppedAndThatIsToldOnce) {
    using V = CTraceVariables;
    m_window.DisplayLog().click(); // the notice is the window's own, not a trace line
    Execute({"xts:fits=" + std::string(V::kMaxValueBytes, 'v')});
    EXPECT_EQ(m_window.PaneA().toPlainText().toStdString(), "")
        << "nothing to tell while every variable fits";
    const std::string longName(V::kMaxNameBytes + 10, 'n');
    Execute({"xts:" + longName + "=" + std::string(V::kMaxValueBytes + 10, 'v')});
    for (size_t i = 0; i < V::kMaxVariables + 10; ++i)
        Execute({"xts:v" + std::to_string(i) + "=" + std::to_string(i)});
    EXPECT_TRUE(QTest::qWaitFor([&] {
        qsizetype shown = 0;
        for (int pane = 0; pane < V::kPanes; ++pane)
            shown += m_window.VariablePane(pane).toPlainText().split(",  ").size();
        return shown == static_cast<qsizetype>(V::kMaxVariables);
    })) << "the variables beyond the cap are dropped";
    const QString cut = QString::fromStdString(longName.substr(0, V::kMaxNameBytes) + "=" +
                                               std::string(V::kMaxValueBytes, 'v'));
    EXPECT_TRUE(m_window.VariablePane(VariablePane(longName.substr(0, V::kMaxNameBytes)))
                    .toPlainText()
                    .split(",  ")
                    .contains(cut));
    const QStringList notice = PaneLines(m_window.PaneA());
    ASSERT_EQ(notice.size(), 1) << "said once, not once a command";
    EXPECT_TRUE(notice[0].startsWith("trace window: at most 1024 variables"))
        << notice[0].toStdString();
}

TEST_F(XTraceWindowTest, PanesOfShortLinesAreCutByTheirLineCountKeepingTheNewest) {
    const int sent = static_cast<int>(kTracePaneLineLimit) + 600;
    for (int line = 0; line < sent; ++line)
        Execute({"xta1:" + std::to_string(line)});
    const QStringList lines = PaneLines(m_window.PaneA());
    ASSERT_GE(lines.size(), static_cast<qsizetype>(kTraceKeptLinesAfterCut));
    ASSERT_LE(lines.size(), static_cast<qsizetype>(kTracePaneLineLimit));
    for (qsizetype back = 1; back <= lines.size(); ++back)
        ASSERT_EQ(lines[lines.size() - back], QString::number(sent - back))
            << "oldest lines go first";

    const int mostBlocks = static_cast<int>(kTracePaneLineLimit) + 1; // the last one is empty
    Execute({"xta2:" + std::string(100'000, '\n') + "newest"});
    EXPECT_EQ(m_window.PaneB().document()->blockCount(), mostBlocks)
        << "a command's lines beyond what a pane shows are dropped before they land";
    EXPECT_TRUE(m_window.PaneB().toPlainText().endsWith("newest\n"));
    Execute({"xta2:" + std::string(9'000, '\n')});
    EXPECT_LE(m_window.PaneB().document()->blockCount(), mostBlocks);

    for (int name = 0; name < 30; ++name)
        Execute({"xts:n" + std::to_string(name) + "=" + std::string(4096, '\n')});
    EXPECT_TRUE(QTest::qWaitFor([&] {
        for (int pane = 0; pane < CTraceVariables::kPanes; ++pane)
            if (m_window.VariablePane(pane).document()->blockCount() == 1)
                return false;
        return true;
    }));
    for (int pane = 0; pane < CTraceVariables::kPanes; ++pane)
        EXPECT_LE(m_window.VariablePane(pane).document()->blockCount(),
                  static_cast<int>(kTracePaneLineLimit))
            << pane;
}

TEST_F(XTraceWindowTest, PhotographedWithLinesInBothPanesAndVariablesInAllThree) {
    Execute({"xts:c=1", "xts:baud=9600", "xts:port=COM3", "xts:a=on", "xts:state=open",
             "xts:bytes=1024", "xta1:trying to open port 3", "xta1t:JPExecute 1.0", "xta1:plus 0A",
             "xta2:Trying to change to 9600,N,8,1(4)", "xta2t:bTWSDSend=1", "xta2:reply 06 00 10"});
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return !m_window.VariablePane(0).toPlainText().isEmpty() &&
               !m_window.VariablePane(1).toPlainText().isEmpty() &&
               !m_window.VariablePane(2).toPlainText().isEmpty();
    }));
    const QFontInfo font(m_window.DisplayLog().font());
    EXPECT_TRUE(font.bold() && font.pointSize() == 8) << font.family().toStdString();
    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    EXPECT_TRUE(m_window.grab().save(QStringLiteral(BRIVOX_SCREENSHOT_DIR "/trace-window.png")));
}

} // namespace
} // namespace brivox
