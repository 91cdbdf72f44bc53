// File transfers from the lists' context menu, with the test playing a console on a
// pseudo-terminal.
#include "session/TransferDialog.h"

#include "platform/FileDialog.h"
#include "session/SessionFormFixture.h"
#include "session/SessionTransfer.h"
#include "support/PortTestSupport.h"
#include "support/SchedulingSlack.h"
#include "support/TempFolder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace brivox {
namespace {

constexpr int kCom = 10;

class TransferDialogTest : public test::CSessionFormFixture {
protected:
    TransferDialogTest() { ShowWithPortOpen(kCom); }

    CTransferDialog& OpenFromMenu(const char* text) {
        QTableView* view = Form().TxRxList().View();
        emit view->customContextMenuRequested(QPoint(20, 20));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text() == QLatin1String(text))
                action->trigger();
        menu->close();
        return Form().ShowTransfer(std::string(text) == CSessionForm::kReceiveFileAction);
    }

    // What the form wrote to the device, while the form's events run.
    std::string Heard(size_t count, int limitMs = 5000) {
        std::string got;
        test::RunEventsUntil(
            [&] {
                const std::vector<uint8_t> bytes = m_pty.Receive(count - got.size(), 5);
                got.append(bytes.begin(), bytes.end());
                return got.size() >= count;
            },
            limitMs);
        return got;
    }

    test::CTempFolder m_folder;
    test::CRegisteredPty m_pty{kCom};
};

TEST_F(TransferDialogTest, ARawSendWaitsForEachPromptAndLeavesTheListsAlone) {
    const std::string file = m_folder.Path("config.txt");
    test::WriteTestFile(file, "set a 1\nset b 2\n");
    CTransferDialog& dialog = OpenFromMenu(CSessionForm::kSendFileAction);
    EXPECT_EQ(dialog.Protocol().currentText(), "raw");
    dialog.Path().setText(QString::fromStdString(file));
    dialog.Prompt().setText("> ");
    QTest::mouseClick(&dialog.StartButton(), Qt::LeftButton);
    EXPECT_TRUE(Form().Transfer().Running());
    EXPECT_FALSE(dialog.StartButton().isEnabled());
    EXPECT_EQ(Heard(8), "set a 1\n");
    EXPECT_FALSE(test::RunEventsUntil([&] { return !Form().Transfer().Running(); }, 100))
        << "the second line waits for the prompt";
    m_pty.Send({'>', ' '});
    EXPECT_EQ(Heard(8), "set b 2\n");
    EXPECT_TRUE(dialog.Status().text().startsWith("8 bytes of 16 (50%), ") &&
                dialog.Status().text().endsWith(" KB/s"))
        << dialog.Status().text().toStdString();
    m_pty.Send({'>', ' '});
    ASSERT_TRUE(test::RunEventsUntil([&] { return !Form().Transfer().Running(); }));
    EXPECT_TRUE(
        dialog.Status().text().startsWith(QString::fromStdString("sent " + file + ", 16 bytes, ")))
        << dialog.Status().text().toStdString();
    EXPECT_EQ(dialog.Bar().value(), 100);
    EXPECT_EQ(Form().TxRxList().Model().rowCount(), 0) << "the transfer's bytes are its own";
    EXPECT_EQ(Form().RxList().Model().rowCount(), 0);
}

TEST_F(TransferDialogTest, CancelEndsLrzszAndTellsTheFarEnd) {
    if (test::kUnderThreadSanitizer)
        GTEST_SKIP() << "ThreadSanitizer cannot follow QProcess's fork in a threaded process";
    const std::string file = m_folder.Path("firmware.bin");
    test::WriteTestFile(file, std::string(4096, 'x'));
    CTransferDialog& dialog = OpenFromMenu(CSessionForm::kSendFileAction);
    dialog.Protocol().setCurrentText("zmodem");
    dialog.Path().setText(QString::fromStdString(file));
    QTest::mouseClick(&dialog.StartButton(), Qt::LeftButton);
    ASSERT_TRUE(Form().Transfer().Running()) << dialog.Status().text().toStdString();
    EXPECT_EQ(Heard(4).size(), 4u); // sz's first header: it waits for a receiver never there
    QTest::mouseClick(&dialog.CancelButton(), Qt::LeftButton);
    ASSERT_TRUE(test::RunEventsUntil([&] { return !Form().Transfer().Running(); }));
    EXPECT_EQ(dialog.Status().text(), "transfer failed: cancelled");
    const std::string rest = Heard(4096, 500);
    const std::string cancel = std::string(10, '\x18') + std::string(10, '\b');
    ASSERT_GE(rest.size(), cancel.size());
    EXPECT_EQ(rest.substr(rest.size() - cancel.size()), cancel)
        << "ten CAN and ten backspaces, as lrzsz sends them";
    EXPECT_TRUE(dialog.StartButton().isEnabled());
}

} // namespace
} // namespace brivox
