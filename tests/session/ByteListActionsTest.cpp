// Taking traffic away from the session form's lists through real clicks and keys, with the test
// playing the device on a pseudo-terminal: selecting cells, rows and all, the copies on the
// clipboard, the context menu and "Save List As...".
#include "session/ByteListActions.h"

#include "platform/FileDialog.h"
#include "session/SessionFormFixture.h"
#include "support/MessageRecorder.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"

#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <filesystem>

namespace brivox {
namespace {

using namespace idc;
using Bytes = std::vector<uint8_t>;

constexpr int kCom = 7;

class ByteListActionsTest : public test::CSessionFormFixture {
protected:
    ByteListActionsTest() { ShowWithPortOpen(kCom); }

    // A Detail run that the device answers with 06 after 41 42: row 0 "TX" 41 42 _ 43, row 1
    // "RX" _ _ 06.
    void RunDetailScript() {
        Choose(kMode, 1);
        Input()->setPlainText("41 42 <06> 43");
        Button(kSend)->click();
        EXPECT_EQ(m_pty.Receive(2), (Bytes{0x41, 0x42}));
        m_pty.Send({0x06});
        ASSERT_TRUE(
            test::RunEventsUntil([&] { return Form().TxRxList().Model().CellCount() >= 4; }));
        EXPECT_EQ(m_pty.Receive(1), Bytes{0x43});
        Form().TxRxList().Model().Flush();
    }
    QPoint At(CByteList& list, int row, int column) {
        return list.View()->visualRect(list.Model().index(row, column)).center();
    }
    QWidget* Surface(CByteList& list) { return list.View()->viewport(); }
    void Click(CByteList& list, int row, int column, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(Surface(list), Qt::LeftButton, keys, At(list, row, column));
    }
    // What the clipboard holds once the action's copy has been made.
    static QString Copied(const std::function<void()>& action) {
        QGuiApplication::clipboard()->clear();
        action();
        test::RunEventsUntil([] { return !QGuiApplication::clipboard()->text().isEmpty(); }, 5000);
        return QGuiApplication::clipboard()->text();
    }
    static QString CtrlC(CByteList& list) {
        return Copied([&] { QTest::keyClick(list.View(), Qt::Key_C, Qt::ControlModifier); });
    }
    // A right click on the list, then the menu entry of that text. Through the window, as the
    // window system delivers it: that is where Qt makes the click a context-menu request.
    void FromMenu(CByteList& list, int row, int column, const char* text) {
        QTest::mouseClick(m_host->windowHandle(), Qt::RightButton, {},
                          Surface(list)->mapTo(m_host.get(), At(list, row, column)));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << "the context menu opened";
        QStringList texts;
        for (QAction* action : menu->actions())
            texts << action->text();
        EXPECT_EQ(texts.mid(0, 4), QStringList({"Copy as Hex", "Copy as Text", "Copy as C array",
                                                "Save List As..."}));
        for (QAction* action : menu->actions()) {
            if (action->text() == QLatin1String(text))
                action->trigger();
        }
        menu->close();
    }
    // "Save List As..." from the menu into the file, once it is written.
    std::string SavedThroughMenu(CByteList& list, const std::string& path) {
        const FileDialogPresenter previous =
            SetFileDialogPresenter([&](const CFileDialogRequest&) { return path; });
        FromMenu(list, 0, 1, CByteListActions::kSaveAs);
        SetFileDialogPresenter(previous);
        test::RunEventsUntil([&] { return std::filesystem::exists(path); }, 5000);
        return test::ReadTestFile(path);
    }

    test::CRegisteredPty m_pty{kCom};
};

TEST_F(ByteListActionsTest, CellsRowsOrAllCopyInEachFormat) {
    RunDetailScript();
    CByteList& list = Form().TxRxList();

    QTest::mousePress(Surface(list), Qt::LeftButton, {}, At(list, 0, 1));
    QTest::mouseMove(Surface(list), At(list, 1, 3));
    QTest::mouseRelease(Surface(list), Qt::LeftButton, {}, At(list, 1, 3));
    EXPECT_EQ(CtrlC(list), "TX 41 42\nRX 06") << "a drag over both kinds of rows";
    const QColor tinted = CornerColour(list, 0, 2);
    EXPECT_NE(tinted, QColor(236, 236, 236)) << "the selection is drawn on top";
    EXPECT_GT(tinted.blue(), tinted.red() + 20);
    EXPECT_EQ(CornerColour(list, 0, 5), QColor(228, 228, 255)) << "outside it, the list's own";
    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    EXPECT_TRUE(m_host->grab().save(BRIVOX_SCREENSHOT_DIR "/lists-selection.png"));

    Click(list, 0, 2);
    Click(list, 0, 1, Qt::ShiftModifier);
    EXPECT_EQ(CtrlC(list), "41 42") << "Shift+click";
    EXPECT_EQ(CornerColour(list, 1, 3), QColor(244, 244, 244)) << "the drag's cells let go";

    Click(list, 0, 0); // a label stands for its row
    EXPECT_TRUE(list.Selection().isSelected(list.Model().index(0, 16)));
    EXPECT_EQ(Copied([&] { FromMenu(list, 0, 0, CByteListActions::kCopyCArray); }),
              "{0x41, 0x42, 0x43}");
    Click(list, 1, 0, Qt::ShiftModifier);
    EXPECT_EQ(Copied([&] { FromMenu(list, 0, 0, CByteListActions::kCopyCArray); }),
              "TX {0x41, 0x42, 0x43}\nRX {0x06}");

    QTest::keyClick(list.View(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Copied([&] { FromMenu(list, 1, 3, CByteListActions::kCopyText); }), "TX ABC\nRX .");
}

TEST_F(ByteListActionsTest, SaveListAsWritesLinesOrTheBytesThemselves) {
    test::CTempFolder folder;
    RunDetailScript();
    EXPECT_EQ(SavedThroughMenu(Form().TxRxList(), folder.Path("detail.txt")),
              "TX 41 42 43\nRX 06\n");
    EXPECT_EQ(SavedThroughMenu(Form().TxRxList(), folder.Path("detail.bin")), "\x41\x42\x06\x43")
        << "as they went over the line";
    EXPECT_EQ(SavedThroughMenu(Form().RxList(), folder.Path("rx.BIN")), "\x06");

    // Typing keeps eight rows: the file says what went before them.
    Choose(kMode, 0);
    QTest::keyClicks(Input(), QString(130, QLatin1Char('k')));
    EXPECT_EQ(m_pty.Receive(130).size(), 130u);
    ASSERT_TRUE(test::RunEventsUntil([&] { return Form().TxRxList().Model().CellCount() >= 114; }));
    const std::string typed = SavedThroughMenu(Form().TxRxList(), folder.Path("typed.txt"));
    EXPECT_EQ(typed.substr(0, typed.find('\n')),
              "# 16 earlier bytes were dropped when the list reached its limit");
    EXPECT_EQ(std::count(typed.begin(), typed.end(), '\n'), 1 + 8);

    test::CMessageRecorder boxes;
    test::WriteTestFile(folder.Path("file"), "");
    Form().RxList().Actions().SaveTo(folder.Path("file") + "/under-a-file.txt");
    ASSERT_TRUE(test::RunEventsUntil([&] { return !boxes.Requests().empty(); }, 5000));
    EXPECT_EQ(boxes.Requests()[0].caption, "Error");
    EXPECT_EQ(boxes.Requests()[0].text.rfind("Cannot save " + folder.Path("file"), 0), 0u);
}

} // namespace
} // namespace brivox
