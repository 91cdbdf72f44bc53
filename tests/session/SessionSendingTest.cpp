// Sending and the traffic lists through the session form's real controls, with the test playing
// the device on the other end of a pseudo-terminal.
#include "options/OptionKeys.h"
#include "platform/FileDialog.h"
#include "session/SessionFormFixture.h"
#include "support/MessageRecorder.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"
#include "support/TraceCapture.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <chrono>

namespace brivox {
namespace {

using namespace idc;
using Bytes = std::vector<uint8_t>;

constexpr int kCom = 8;

class SessionSendingTest : public test::CSessionFormFixture {
protected:
    SessionSendingTest() { ShowWithPortOpen(kCom); }

    CByteListModel& TxRx() { return Form().TxRxList().Model(); }
    CByteListModel& Rx() { return Form().RxList().Model(); }
    static QString Cell(CByteListModel& model, int row, int column) {
        model.Flush();
        return model.data(model.index(row, column)).toString();
    }
    // Mode and input as a user sets them, then the Send button.
    void SendText(int mode, const QString& text) {
        Choose(kMode, mode);
        Input()->setPlainText(text);
        Button(kSend)->click();
    }
    // Bytes from the line while the event loop runs the form's timers.
    Bytes ReceiveWhileRunning(size_t count) {
        Bytes got;
        test::RunEventsUntil(
            [&] {
                const Bytes more = m_pty.Receive(count - got.size(), 10);
                got.insert(got.end(), more.begin(), more.end());
                return got.size() >= count;
            },
            5000);
        return got;
    }
    bool WaitForCells(CByteListModel& model, int count) {
        return test::RunEventsUntil([&] { return model.CellCount() >= count; }, 5000);
    }
    // The painted list, with the pixels of one cell counted by a colour test.
    int CountPixels(CByteList& list, int row, int column, const std::function<bool(QColor)>& test) {
        list.Model().Flush();
        QCoreApplication::processEvents();
        const QImage image = list.View()->viewport()->grab().toImage();
        const QRect cell = list.View()->visualRect(list.Model().index(row, column));
        int count = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                count += test(image.pixelColor(x, y)) ? 1 : 0;
        return count;
    }
    void Photograph(const char* name) {
        QCoreApplication::processEvents();
        QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
        EXPECT_TRUE(m_host->grab().save(QStringLiteral(BRIVOX_SCREENSHOT_DIR "/%1.png").arg(name)));
    }

    test::CRegisteredPty m_pty{kCom};
};

bool IsCrossColour(QColor c) {
    return c == QColor(255, 150, 150);
}
bool IsDark(QColor c) {
    return c.red() < 90 && c.green() < 90 && c.blue() < 90;
}
bool IsDecimalBlue(QColor c) {
    return c.blue() > 150 && c.red() < 120 && c.green() < 120;
}

TEST_F(SessionSendingTest, ReceivedBytesFillTheRxListInRowsOfSixteen) {
    Bytes received;
    for (int i = 0; i < 160; ++i)
        received.push_back(static_cast<uint8_t>(i * 7 + 20));
    m_pty.Send(Bytes(received.begin(), received.begin() + 17));
    ASSERT_TRUE(test::RunEventsUntil([&] { return Rx().rowCount() == 2; }, 5000));
    EXPECT_EQ(Cell(Rx(), 1, 1), QString::number(received[16]));
    m_pty.Send(Bytes(received.begin() + 17, received.end()));
    ASSERT_TRUE(test::RunEventsUntil([&] { return Rx().rowCount() == 10; }, 5000));
    QCoreApplication::processEvents();
    QScrollBar* scroll = Form().RxList().View()->verticalScrollBar();
    EXPECT_GT(scroll->maximum(), 0);
    EXPECT_EQ(scroll->value(), scroll->maximum()) << "scrolled to the last row";
    Photograph("lists-hex");
    Choose(kViewType, 1);
    EXPECT_EQ(Cell(Rx(), 0, 1), "20") << "DEC only repaints: the texts stay decimal";
    EXPECT_GT(CountPixels(Form().RxList(), 9, 1, IsDecimalBlue), 0);
    Photograph("lists-dec");
    Choose(kViewType, 0);
    EXPECT_EQ(CountPixels(Form().RxList(), 9, 1, IsDecimalBlue), 0);
    EXPECT_GT(CountPixels(Form().RxList(), 9, 1, IsDark), 0);

    Button(kClearRx)->click();
    EXPECT_EQ(Rx().rowCount(), 0);
}

TEST_F(SessionSendingTest, ADetailRunPairsItsRowsAndCrossesAMismatch) {
    SendText(1, "41 42 <07>");
    EXPECT_EQ(m_pty.Receive(2), (Bytes{0x41, 0x42}));
    m_pty.Send({0x06});
    ASSERT_TRUE(WaitForCells(TxRx(), 3));
    EXPECT_EQ(Cell(TxRx(), 0, 0), "TX");
    EXPECT_EQ(Cell(TxRx(), 0, 2), "66");
    EXPECT_EQ(Cell(TxRx(), 1, 0), "RX");
    EXPECT_EQ(Cell(TxRx(), 1, 3), "6_");
    EXPECT_GT(CountPixels(Form().TxRxList(), 1, 3, IsCrossColour), 10);
    EXPECT_EQ(CornerColour(Form().TxRxList(), 0, 0), QColor(180, 180, 230));
    EXPECT_EQ(CornerColour(Form().TxRxList(), 1, 0), QColor(230, 180, 180));
    EXPECT_EQ(Cell(Rx(), 0, 1), "6");
    Photograph("lists-detail-mismatch");

    // Checking Test Send unpairs the rows: the fills follow, the labels stay.
    Button(kTestSend)->click();
    EXPECT_EQ(CornerColour(Form().TxRxList(), 1, 0), QColor(180, 180, 230));
    EXPECT_EQ(Cell(TxRx(), 1, 0), "RX");
    EXPECT_EQ(CountPixels(Form().TxRxList(), 1, 3, IsCrossColour), 0);
}

TEST_F(SessionSendingTest, StopHidesReceivedBytesButAWaitingScriptStillGetsThem) {
    Button(kStopDisplay)->click();
    SendText(1, "41 <06>");
    EXPECT_EQ(m_pty.Receive(1), Bytes{0x41});
    m_pty.Send({0x06});
    ASSERT_TRUE(WaitForCells(TxRx(), 2));
    EXPECT_EQ(Cell(TxRx(), 1, 2), "6");
    EXPECT_EQ(Rx().CellCount(), 0);
}

TEST_F(SessionSendingTest, TestSendInDetailModeWritesWholeBlocksUnpaired) {
    const test::CTraceCapture trace;
    Choose(kMode, 1);
    Button(kTestSend)->click();
    EXPECT_EQ(trace.Lines(), std::vector<std::string>{"bTWSDSend=1"});
    Form().Sender().OnTestTimer();
    const Bytes block = m_pty.Receive(1024);
    ASSERT_EQ(block.size(), 1024u);
    EXPECT_EQ(Bytes(block.begin() + 254, block.begin() + 259), (Bytes{254, 255, 1, 1, 2}));
    ASSERT_TRUE(WaitForCells(TxRx(), 1024));
    EXPECT_EQ(TxRx().StoredRowCount(), 64);
    EXPECT_EQ(Cell(TxRx(), 63, 0), "TX");
    Photograph("test-send-running");

    m_pty.Pty().Close(); // a pulled device lets go of Test Send, so the port can open again
    EXPECT_TRUE(test::RunEventsUntil([&] { return !Button(kTestSend)->isChecked(); }, 5000));
    EXPECT_TRUE(Enabled(kOpenClose));
}

TEST_F(SessionSendingTest, KeyStrokeTypingSendsEachKeyAndKeepsEightRows) {
    Choose(kMode, 0);
    const QByteArray typed = QByteArray("0123456789abcdefghijklm").repeated(6).left(130);
    QTest::keyClicks(Input(), QString::fromLatin1(typed));
    EXPECT_EQ(m_pty.Receive(130), Bytes(typed.begin(), typed.end()));
    ASSERT_TRUE(WaitForCells(TxRx(), 8 * 16 - 16));
    EXPECT_EQ(TxRx().StoredRowCount(), 8);
    QTest::keyClick(Input(), Qt::Key_Escape);
    QTest::keyClick(Input(), Qt::Key_Return);
    EXPECT_EQ(m_pty.Receive(2, 300), Bytes{'\r'}) << "Escape is never sent";

    Button(kClearAfterSending)->click();
    QTest::keyClicks(Input(), "xy");
    EXPECT_EQ(Input()->toPlainText(), "y");
}

TEST_F(SessionSendingTest, SendMessagesByModeAndTheirCaptions) {
    test::CMessageRecorder boxes;
    SendText(1, "  41 4Z");
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].caption, "Syntax Error");
    EXPECT_EQ(boxes.Requests()[0].type, kMbOk | kMbIconError);
    EXPECT_EQ(Input()->textCursor().selectedText(), "Z");

    Choose(kFunction, 4); // Multiple Bit Write with no bits
    Edit(kBitsData)->clear();
    SendText(5, "");
    ASSERT_EQ(boxes.Requests().size(), 2u);
    EXPECT_EQ(boxes.Requests()[1].caption, "Expression Error");
    EXPECT_EQ(QApplication::focusWidget(), Form().Control(kBitsData));

    Edit(kSlaveAddress)->setText("300");
    SendText(2, "A");
    ASSERT_EQ(boxes.Requests().size(), 3u);
    EXPECT_EQ(boxes.Requests()[2].type, kMbOk) << "validation boxes are plain";
    Edit(kSlaveAddress)->setText("1");

    qobject_cast<QPlainTextEdit*>(Form().Control(kFilePath))->setPlainText("/no/such/file");
    SendText(6, "");
    ASSERT_EQ(boxes.Requests().size(), 4u);
    EXPECT_EQ(boxes.Requests()[3].text, "File Cannot be Found");
    EXPECT_EQ(boxes.Requests()[3].type, kMbOk);
    EXPECT_EQ(m_pty.Receive(1, 300), Bytes{}) << "nothing was sent";
}

TEST_F(SessionSendingTest, AFileSendsItsFirstKilobyte) {
    test::CTempFolder folder;
    const Bytes content = test::PatternBytes(3000);
    test::WriteTestFile(folder.Path("data.bin"), std::string(content.begin(), content.end()));
    std::string title;
    const FileDialogPresenter previous =
        SetFileDialogPresenter([&](const CFileDialogRequest& request) {
            title = request.title + " / " + request.filter;
            return folder.Path("data.bin");
        });
    Choose(kMode, 6);
    Button(kBrowse)->click();
    SetFileDialogPresenter(previous);
    EXPECT_EQ(title, "File to Send / All Kind of File (*)");
    Button(kSend)->click();
    EXPECT_EQ(m_pty.Receive(1024), Bytes(content.begin(), content.begin() + 1024));
    EXPECT_EQ(m_pty.Receive(1, 300), Bytes{});
    EXPECT_EQ(qobject_cast<QLabel*>(Form().Control(kFileResult))->text(),
              "Transfered : 1024 bytes ");
}

TEST_F(SessionSendingTest, TheDelayWritesEachByteByItself) {
    Edit(kByteDelay)->setText("20");
    SendText(2, "0123456789");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_pty.Receive(1), Bytes{'0'});
    EXPECT_EQ(m_pty.Receive(9),
              Bytes(std::string_view("123456789").begin(), std::string_view("123456789").end()));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(170));
}

TEST_F(SessionSendingTest, RepeatSendsOnItsCycleUntilEscapeIsHeldDown) {
    test::CMessageRecorder boxes;
    Choose(kMode, 2);
    Input()->setPlainText("R");
    Edit(kRepeatCycle)->setText("0");
    Button(kRepeat)->click();
    EXPECT_FALSE(Button(kRepeat)->isChecked());
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text, "Repeat Cycle must be 1~1000000.");

    Edit(kRepeatCycle)->setText("40");
    Button(kRepeat)->click();
    EXPECT_FALSE(Enabled(kSend));
    EXPECT_EQ(ReceiveWhileRunning(3), (Bytes{'R', 'R', 'R'}));
    QTest::keyPress(&Form(), Qt::Key_Escape);
    EXPECT_TRUE(test::RunEventsUntil([&] { return !Button(kRepeat)->isChecked(); }, 2000));
    QTest::keyRelease(&Form(), Qt::Key_Escape);
    EXPECT_TRUE(Enabled(kSend));
}

TEST_F(SessionSendingTest, RepeatWithAScriptThatDoesNotCompileShowsItOnceAndStops) {
    test::CMessageRecorder boxes;
    SendText(1, "41");
    EXPECT_EQ(m_pty.Receive(1), Bytes{0x41});
    Input()->setPlainText("41 4Z");
    Edit(kRepeatCycle)->setText("20");
    Button(kRepeat)->click();
    EXPECT_TRUE(test::RunEventsUntil([&] { return !Button(kRepeat)->isChecked(); }, 2000));
    test::RunEventsUntil([] { return false; }, 200); // ten cycles, were it still running
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].caption, "Syntax Error");
    EXPECT_EQ(boxes.Requests()[0].type, kMbOk | kMbIconError);
    EXPECT_EQ(Input()->textCursor().selectedText(), "Z");
    EXPECT_TRUE(Enabled(kSend));
    EXPECT_EQ(m_pty.Receive(1, 100), Bytes{}) << "not the program the earlier send left";
}

TEST_F(SessionSendingTest, EscapeAndClosingThePortEndAWaitingRun) {
    std::vector<std::pair<int, std::string>> history;
    Form().SetSendHistoryHook(
        [&](int mode, const std::string& text) { history.emplace_back(mode, text); });
    Button(kClearAfterSending)->click();
    Choose(kMode, 1);
    Input()->setPlainText(" 41 <06>\n");
    QTest::keyClick(Input(), Qt::Key_Return);
    EXPECT_EQ(m_pty.Receive(1), Bytes{0x41});
    EXPECT_EQ(Input()->toPlainText(), "");
    EXPECT_EQ(history, (std::vector<std::pair<int, std::string>>{{1, "41 <06>"}}));
    EXPECT_TRUE(Form().Sender().RunState().IsSending());
    QTest::keyClick(Input(), Qt::Key_Escape);
    EXPECT_FALSE(Form().Sender().RunState().IsSending());

    SendText(1, "41 <06>");
    EXPECT_TRUE(Form().Sender().RunState().IsSending());
    Button(kOpenClose)->click();
    EXPECT_FALSE(Form().Sender().RunState().IsSending());
}

} // namespace
} // namespace brivox
