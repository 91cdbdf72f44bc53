// The session's rules through the lists' context menu, with the test playing a device on a
// pseudo-terminal that prints a login prompt.
#include "session/RulesDialog.h"

#include "platform/FileDialog.h"
#include "session/SessionFormFixture.h"
#include "session/SessionRules.h"
#include "support/MessageRecorder.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace brivox {
namespace {

constexpr int kCom = 9;

const char kRules[] = "rule login\n"
                      "match \"login:\"\n"
                      "answer \"root\" 0D\n"
                      "rule never\n"
                      "match FF FF\n"
                      "mark \"two FF\"\n";

class RulesDialogTest : public test::CSessionFormFixture {
protected:
    RulesDialogTest() {
        test::WriteTestFile(m_folder.Path("device.rules"), kRules);
        test::WriteTestFile(m_folder.Path("bad.rules"), "rule a\nmatch 01 zz\n");
        ShowWithPortOpen(kCom);
        m_previous = SetFileDialogPresenter([this](const CFileDialogRequest&) { return m_chosen; });
    }
    ~RulesDialogTest() override { SetFileDialogPresenter(m_previous); }

    // "Rules..." from the RX list's context menu, as a right click opens it.
    CRulesDialog& OpenFromMenu() {
        QTableView* view = Form().RxList().View();
        emit view->customContextMenuRequested(QPoint(20, 20));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_NE(menu, nullptr);
        QAction* rules = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == QLatin1String(CSessionForm::kRulesAction))
                rules = action;
        EXPECT_NE(rules, nullptr);
        rules->trigger();
        menu->close();
        return Form().ShowRules();
    }
    QString Cell(CRulesDialog& dialog, int row, int column) {
        const QTableWidgetItem* item = dialog.Table().item(row, column);
        return item ? item->text() : QString();
    }
    bool Answered(int answers) {
        return test::RunEventsUntil(
            [&] { return Form().Rules().Responder()->Stats()[0].answers == answers; });
    }

    test::CTempFolder m_folder;
    std::unique_ptr<test::CRegisteredPty> m_pty = std::make_unique<test::CRegisteredPty>(kCom);
    std::string m_chosen;
    FileDialogPresenter m_previous;
};

TEST_F(RulesDialogTest, LoadedRulesAnswerTheDeviceAndCountTheirHitsUntilTurnedOff) {
    CRulesDialog& dialog = OpenFromMenu();
    EXPECT_EQ(dialog.PathLabel().text(), QLatin1String(CRulesDialog::kNoRules));
    EXPECT_FALSE(dialog.AnswerBox().isEnabled());

    m_chosen = m_folder.Path("device.rules");
    QTest::mouseClick(&dialog.LoadButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.PathLabel().text().toStdString(), m_chosen);
    EXPECT_TRUE(dialog.AnswerBox().isChecked());
    ASSERT_EQ(dialog.Table().rowCount(), 2);
    EXPECT_EQ(Cell(dialog, 1, 0), "never");

    m_pty->Send({'l', 'o', 'g'});
    test::RunEventsUntil([] { return false; }, 50); // the prompt in two pieces
    m_pty->Send({'i', 'n', ':'});
    ASSERT_TRUE(Answered(1));
    EXPECT_EQ(m_pty->Receive(5), std::vector<uint8_t>({'r', 'o', 'o', 't', 0x0D}));
    EXPECT_EQ(Cell(dialog, 0, 1), "1");
    EXPECT_EQ(Cell(dialog, 0, 2), "1");
    EXPECT_TRUE(Cell(dialog, 0, 3).endsWith(" ms"));
    const CByteListModel& sent = Form().TxRxList().Model();
    EXPECT_EQ(sent.index(0, 0).data().toString(), "TX");  // the answer, as sent bytes
    EXPECT_EQ(sent.index(0, 1).data().toString(), "114"); // r, in the DEC view
    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    EXPECT_TRUE(dialog.grab().save(BRIVOX_SCREENSHOT_DIR "/rules-dialog.png"));

    QTest::mouseClick(&dialog.AnswerBox(), Qt::LeftButton);
    EXPECT_FALSE(Form().Rules().Enabled());
    m_pty->Send({'l', 'o', 'g', 'i', 'n', ':'});
    EXPECT_FALSE(
        test::RunEventsUntil([&] { return Form().Rules().Responder()->Stats()[0].hits > 1; }, 300));
    QTest::mouseClick(&dialog.AnswerBox(), Qt::LeftButton);
    m_pty->Send({'l', 'o', 'g', 'i', 'n', ':'});
    EXPECT_TRUE(Answered(2));
}

TEST_F(RulesDialogTest, ABadFileIsShownAndTheRulesInUseStay) {
    CRulesDialog& dialog = OpenFromMenu();
    m_chosen = m_folder.Path("device.rules");
    QTest::mouseClick(&dialog.LoadButton(), Qt::LeftButton);
    test::CMessageRecorder messages;
    m_chosen = m_folder.Path("bad.rules");
    QTest::mouseClick(&dialog.LoadButton(), Qt::LeftButton);
    ASSERT_EQ(messages.Requests().size(), 1u);
    EXPECT_EQ(messages.Requests()[0].text,
              m_chosen + ": line 2: match: \"zz\" is no hex byte, \"text\", ??, *, $N or checksum "
                         "name (unknown checksum \"zz\")");
    EXPECT_EQ(dialog.PathLabel().text().toStdString(), m_folder.Path("device.rules"));
    EXPECT_EQ(dialog.Table().rowCount(), 2);
}

} // namespace
} // namespace brivox
