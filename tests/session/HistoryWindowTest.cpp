// The send history through the session form's real controls: what a send records, the History
// window's clicks, keys and questions, its placement, and the guide to the script syntax.
#include "session/HistoryWindow.h"

#include "app/BrivoxApp.h"
#include "platform/DialogBuilder.h"
#include "session/GuideDialog.h"
#include "session/SessionFormFixture.h"
#include "support/LayoutCheck.h"
#include "support/MessageRecorder.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace brivox {
namespace {

using namespace idc;
using Entries = std::vector<std::string>;
using States = std::tuple<bool, bool, bool>; // "Delete", "Memory", "Delete All" enabled

class HistoryWindowTest : public test::CSessionFormFixture {
protected:
    HistoryWindowTest() {
        ShowWithPortOpen(m_pty.Number());
        Choose(kMode, 1);
    }

    CHistoryList& List(int index) { return *m_brivox.HistoryList(index); }
    CHistoryWindow* Window() { return m_brivox.HistoryWindow(); }
    QListWidget* Box() { return qobject_cast<QListWidget*>(ControlById(Window(), 1059)); }
    QAbstractButton* In(int id) {
        return qobject_cast<QAbstractButton*>(ControlById(Window(), id));
    }
    States Buttons() {
        return {In(1013)->isEnabled(), In(1014)->isEnabled(), In(1015)->isEnabled()};
    }
    QStringList Shown() {
        QStringList texts;
        for (int row = 0; row < Box()->count(); ++row)
            texts << Box()->item(row)->text();
        return texts;
    }
    void Click(int row, bool twice = false) {
        const QPoint at = Box()->visualItemRect(Box()->item(row)).center();
        QTest::mouseClick(Box()->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(Box()->viewport(), Qt::LeftButton, {}, at);
    }
    void Open(const Entries& entries) {
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
            List(1).AddToHistory(*entry);
        Button(kHistory)->click();
        ASSERT_NE(Window(), nullptr);
    }
    bool Gone() {
        QCoreApplication::processEvents();
        return Window() == nullptr;
    }

    CBrivoxApp m_brivox;
    test::CRegisteredPty m_pty{9};
};

TEST_F(HistoryWindowTest, SentTextsGoToTheListOfTheirModeAndItsFile) {
    Choose(kMode, 2);
    Input()->setPlainText("DALMENO");
    Button(kSend)->click();
    Choose(kMode, 1);
    Button(kClearAfterSending)->click();
    for (const char* text : {"41 42", " 41 42\n", "41 43"}) {
        Input()->setPlainText(text);
        QTest::keyClick(Input(), Qt::Key_Return);
    }
    EXPECT_EQ(Input()->toPlainText(), "") << "cleared after sending, recorded all the same";
    EXPECT_EQ(List(2).Entries(), Entries{"DALMENO"});
    CHistoryList saved(1);
    ASSERT_TRUE(saved.LoadHistory());
    EXPECT_EQ(saved.Entries(), (Entries{"41 43", "41 42"}));

    Button(kHistory)->click();
    EXPECT_EQ(Shown(), (QStringList{"41 43", "41 42"})) << "\"String\" texts are not offered";
    EXPECT_EQ(Buttons(), States(false, false, true));
    EXPECT_FALSE(In(1053)->isChecked());
    EXPECT_EQ(test::LayoutProblems(*Window()), std::vector<std::string>{});
}

TEST_F(HistoryWindowTest, SelectingAndDoubleClickingFillTheBoxEscapeRestoresIt) {
    Input()->setPlainText("typed");
    Open({"[mem]41 42", "05"});
    Click(1);
    EXPECT_EQ(Input()->toPlainText(), "05");
    EXPECT_EQ(Buttons(), States(true, true, true));
    In(1053)->click();
    Click(0, true);
    EXPECT_EQ(m_pty.Receive(2), (std::vector<uint8_t>{0x41, 0x42}));
    EXPECT_EQ(List(1).Entries(), (Entries{"[mem]41 42", "05"})) << "sent again, added nothing";
    EXPECT_EQ(Buttons(), States(true, false, true));
    QTest::keyClick(Window(), Qt::Key_Escape);
    EXPECT_TRUE(Gone());
    EXPECT_EQ(Input()->toPlainText(), "typed");
    EXPECT_TRUE(test::RunEventsUntil([&] { return Input()->hasFocus(); }, 2000)) << "timer 3790";
    EXPECT_EQ(Input()->textCursor().position(), 5);

    Button(kHistory)->click();
    Click(1, true); // without "Double-click to send"
    EXPECT_TRUE(Gone());
    EXPECT_EQ(Input()->toPlainText(), "05");
    EXPECT_EQ(m_pty.Receive(1, 300), std::vector<uint8_t>{});
}

TEST_F(HistoryWindowTest, DeleteMemoryAndDeleteAllAskAndSave) {
    test::CMessageRecorder boxes;
    Open({"41", "42", "AA"});
    Click(2);
    In(1014)->click();
    EXPECT_EQ(Shown(), (QStringList{"[mem]AA", "41", "42"}));
    EXPECT_EQ(Buttons(), States(false, false, true));
    boxes.ScriptAnswer(kIdNo);
    boxes.ScriptAnswer(kIdYes);
    boxes.ScriptAnswer(kIdYes);
    Click(1);
    In(1013)->click();
    In(1013)->click();
    EXPECT_EQ(Shown(), (QStringList{"[mem]AA", "42"}));
    In(1015)->click();
    EXPECT_EQ(Shown(), QStringList{});
    EXPECT_EQ(Buttons(), States(false, false, false));
    ASSERT_EQ(boxes.Requests().size(), 3u);
    EXPECT_EQ(boxes.Requests()[0].text, "Delete selected item ?");
    EXPECT_EQ(boxes.Requests()[0].caption, "");
    EXPECT_EQ(boxes.Requests()[0].type, kMbYesNo | kMbIconQuestion);
    EXPECT_EQ(boxes.Requests()[2].text, "Delete all items ?");
    CHistoryList saved(1);
    ASSERT_TRUE(saved.LoadHistory());
    EXPECT_EQ(saved.Count(), 0);
}

TEST_F(HistoryWindowTest, ItClosesOnDeactivationOrAClickButNotUnderItsQuestion) {
    Open({"41"});
    const MessagePresenter previous = SetMessagePresenter([&](const CMessageRequest&) {
        QApplication::setActiveWindow(m_host.get());
        QCoreApplication::processEvents();
        return int{kIdNo};
    });
    QApplication::setActiveWindow(Window());
    Click(0);
    In(1013)->click();
    SetMessagePresenter(previous);
    EXPECT_FALSE(Gone());
    QApplication::setActiveWindow(Window());
    QApplication::setActiveWindow(m_host.get());
    EXPECT_TRUE(Gone());

    Button(kHistory)->click();
    QTest::mouseClick(&Form(), Qt::LeftButton, {}, QPoint(2, Form().height() - 2));
    EXPECT_TRUE(Gone()) << "a click on the form";
}

TEST_F(HistoryWindowTest, PlacedLeftOfTheButtonAndOneInTheApplication) {
    m_host->move(400, 40); // room on the left
    Open({"[mem]41 42 <06>", "\"DALMENO\" 0D 0A", "05 <06 00 10>"});
    const QPoint button = Form().Control(kHistory)->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(Window()->frameGeometry().right() + 1, button.x() - 10);
    EXPECT_EQ(Window()->frameGeometry().top(), button.y());
    Click(0);
    const QRect frame = Window()->frameGeometry().united(m_host->frameGeometry());
    QImage shot(frame.size(), QImage::Format_RGB32);
    shot.fill(Qt::darkGray);
    QPainter painter(&shot);
    for (QWidget* window : {static_cast<QWidget*>(m_host.get()), static_cast<QWidget*>(Window())})
        painter.drawPixmap(window->geometry().topLeft() - frame.topLeft(), window->grab());
    painter.end();
    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    EXPECT_TRUE(shot.save(BRIVOX_SCREENSHOT_DIR "/history-window.png"));

    CSessionHost* child = CSessionHost::AddChildSession();
    auto* childMode = qobject_cast<QComboBox*>(child->Form()->Control(kMode));
    childMode->setCurrentIndex(1);
    emit childMode->activated(1);
    auto* childHistory = qobject_cast<QAbstractButton*>(child->Form()->Control(kHistory));
    childHistory->click();
    EXPECT_TRUE(Gone()) << "the other session's button closes it";
    childHistory->click();
    ASSERT_NE(Window(), nullptr);
    EXPECT_EQ(Window()->Form(), child->Form());
    delete child;
    EXPECT_TRUE(Gone()) << "it goes with its form";
}

TEST(HistoryFramePositionTest, LeftOfTheButtonShiftedJustInsideTheScreen) {
    const QRect screen(0, 0, 1280, 1024);
    const QSize frame(300, 200);
    const struct {
        QRect available;
        QPoint button;
        QPoint expected;
    } cases[] = {
        {screen, {500, 900}, {190, 824}},
        {QRect(1280, 30, 1280, 994), {1400, 10}, {1280, 30}}, // a second screen, a top panel
        {QRect(0, 0, 200, 100), {500, 100}, {0, 0}},          // larger than the screen
        {QRect(), {100, 100}, {-210, 100}},                   // no screen known
    };
    for (const auto& c : cases)
        EXPECT_EQ(HistoryFramePosition(QRect(c.button, QSize(56, 22)), frame, c.available),
                  c.expected)
            << c.button.x() << "," << c.button.y();
}

// The press takes the activation from the window, which closes itself before the button is
// released: the click must not open another.
TEST_F(HistoryWindowTest, HistoryClosesAnOpenWindowAndOpensNoNewOne) {
    QWidget* button = Form().Control(kHistory);
    Open({"41"});
    Window()->activateWindow();
    ASSERT_TRUE(test::RunEventsUntil([&] { return Window()->isActiveWindow(); }, 2000));
    QTest::mousePress(button, Qt::LeftButton);
    m_host->activateWindow();
    EXPECT_TRUE(test::RunEventsUntil([&] { return Window() == nullptr; }, 2000));
    QTest::mouseRelease(button, Qt::LeftButton);
    EXPECT_TRUE(Gone());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_NE(Window(), nullptr) << "a click with none open opens one";
}

TEST_F(HistoryWindowTest, DoubleClickToSendWhileSendCannotSendOnlyFillsTheBox) {
    Edit(kRepeatCycle)->setText("1000000");
    const std::pair<int, const char*> blockers[] = {
        {kOpenClose, "port closed"}, {kRepeat, "Repeat"}, {kTestSend, "Test Send"}};
    for (const auto& [id, blocker] : blockers) {
        Input()->clear();
        Button(id)->click();
        ASSERT_FALSE(Enabled(kSend)) << blocker;
        Open({"41 42"});
        In(1053)->click();
        Click(0, true);
        EXPECT_TRUE(Gone()) << blocker << ": closed as by a plain double-click";
        EXPECT_EQ(Input()->toPlainText(), "41 42") << blocker;
        Button(id)->click();
        EXPECT_EQ(m_pty.Receive(1, 100), std::vector<uint8_t>{}) << blocker;
    }
}

TEST_F(HistoryWindowTest, ModbusAndFileSendsRecordNoEmptyEntry) {
    test::CTempFolder folder;
    test::WriteTestFile(folder.Path("data.bin"), "AB");
    qobject_cast<QPlainTextEdit*>(Form().Control(kFilePath))
        ->setPlainText(QString::fromStdString(folder.Path("data.bin")));
    for (const int mode : {4, 5, 6}) {
        Choose(kMode, mode);
        Button(kSend)->click();
        EXPECT_FALSE(m_pty.Receive(1).empty()) << "mode " << mode << " sent";
        m_pty.Receive(100, 100);
        EXPECT_EQ(List(mode).Count(), 0) << "mode " << mode;
        CHistoryList saved(mode);
        saved.LoadHistory();
        EXPECT_EQ(saved.Count(), 0) << "mode " << mode;
    }
}

TEST_F(HistoryWindowTest, TheGuideShowsItsExamplesAsTheyStand) {
    QStringList texts;
    QTimer::singleShot(0, [&] {
        QWidget* guide = QApplication::activeModalWidget();
        ASSERT_NE(dynamic_cast<CGuideDialog*>(guide), nullptr);
        EXPECT_EQ(guide->windowTitle(), "Guide about Script Method for Input");
        for (const QLabel* label : guide->findChildren<QLabel*>())
            texts << label->text();
        EXPECT_EQ(test::LayoutProblems(*guide), std::vector<std::string>{});
        EXPECT_TRUE(guide->grab().save(BRIVOX_SCREENSHOT_DIR "/guide-dialog.png"));
        qobject_cast<QAbstractButton*>(ControlById(guide, 1011))->click();
    });
    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    Button(kGuide)->click();
    ASSERT_EQ(texts.size(), 5);
    EXPECT_TRUE(texts[0].startsWith("ex) 41 4F FF        \n      Default type"));
    EXPECT_TRUE(texts[1].contains("receive 05\n     and A5 correctly, then send D7. \n      If "));
    EXPECT_TRUE(texts[1].endsWith("can be replaced        with '<? ?>'"));
}

} // namespace
} // namespace brivox
