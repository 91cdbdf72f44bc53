// The traffic lists' context menu on the session form, with the test playing the device on a
// pseudo-terminal: the switches, the capture file, line-error cells and a device that returns.
#include "session/PortSwitchMenu.h"

#include "platform/FileDialog.h"
#include "serial/LineConfig.h"
#include "session/LineDialog.h"
#include "session/ModemLineIndicators.h"
#include "session/SessionFormFixture.h"
#include "support/FileSizeLimit.h"
#include "support/MessageRecorder.h"
#include "support/PortTestSupport.h"
#include "support/TempFolder.h"
#include "support/TsharkRun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <termios.h>

namespace brivox {
namespace {

using namespace idc;

constexpr int kCom = 9;

class PortSwitchMenuTest : public test::CSessionFormFixture {
protected:
    PortSwitchMenuTest() {
        Form();
        m_host->show();
        ChoosePort(kCom);
        Button(kOpenClose)->click();
        EXPECT_TRUE(Form().IsPortOpen());
    }
    QAction* Action(QMenu& menu, const char* text) {
        for (QAction* action : menu.actions())
            if (action->text() == QLatin1String(text))
                return action;
        return nullptr;
    }
    void Photograph(QWidget& widget, const char* name) {
        QCoreApplication::processEvents();
        QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
        EXPECT_TRUE(widget.grab().save(QStringLiteral(BRIVOX_SCREENSHOT_DIR "/%1.png").arg(name)));
    }
    QString OpenCaption() { return Button(kOpenClose)->text(); }

    std::unique_ptr<test::CRegisteredPty> m_pty = std::make_unique<test::CRegisteredPty>(kCom);
};

TEST_F(PortSwitchMenuTest, SwitchesStartOffAndLineErrorsReopenTheLineMarked) {
    std::unique_ptr<QMenu> menu(Form().SwitchMenu().Build());
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text();
        EXPECT_FALSE(action->isChecked()) << action->text().toStdString();
    }
    EXPECT_EQ(texts, QStringList({"Reconnect when the device returns", "Capture to File...",
                                  "Show line errors", "Ignore the echo of sent bytes", "",
                                  "Show modem lines", "Send BREAK", "Line..."}));
    menu->popup(Form().RxList().View()->mapToGlobal(QPoint(40, 40)));
    Photograph(*menu, "traffic-list-menu");

    CTermiosFlags flags;
    CLineConfig line;
    ASSERT_EQ(ReadAppliedLine(m_pty->Pty().Slave(), line, &flags), "");
    EXPECT_EQ(flags.iflag & PARMRK, 0u);
    Action(*menu, CPortSwitchMenu::kLineErrors)->trigger();
    Action(*menu, CPortSwitchMenu::kIgnoreEcho)->trigger();
    Action(*menu, CPortSwitchMenu::kReconnect)->trigger();
    ASSERT_TRUE(Form().IsPortOpen());
    EXPECT_EQ(OpenCaption(), "Close");
    ASSERT_EQ(ReadAppliedLine(m_pty->Pty().Slave(), line, &flags), "");
    EXPECT_EQ(flags.iflag & (PARMRK | INPCK), static_cast<uint32_t>(PARMRK | INPCK));
    EXPECT_TRUE(Form().Port().IgnoreEcho());
    EXPECT_TRUE(Form().Port().Reconnect());
    menu.reset(Form().SwitchMenu().Build());
    for (const char* on :
         {CPortSwitchMenu::kReconnect, CPortSwitchMenu::kLineErrors, CPortSwitchMenu::kIgnoreEcho})
        EXPECT_TRUE(Action(*menu, on)->isChecked()) << on;
    EXPECT_FALSE(Action(*menu, CPortSwitchMenu::kCapture)->isChecked());
}

TEST_F(PortSwitchMenuTest, CaptureGoesToTheChosenFileUnderThePortsNameUntilStopped) {
    test::CTempFolder folder;
    CFileDialogRequest asked;
    std::string name = "session.log";
    const FileDialogPresenter previous = SetFileDialogPresenter([&](const CFileDialogRequest& r) {
        asked = r;
        return folder.Path(name);
    });
    for (const char* chosen : {"session.log", "session.pcapng"}) {
        name = chosen;
        const int cells = Form().RxList().Model().CellCount();
        Form().SwitchMenu().ToggleCapture();
        EXPECT_TRUE(asked.save);
        EXPECT_EQ(asked.suggested.rfind(DocumentsFolder() + "/COM9-", 0), 0u) << asked.suggested;
        EXPECT_EQ(asked.suggested.substr(asked.suggested.size() - 4), ".log");
        EXPECT_NE(asked.filter.find("Wireshark Captures (*.pcapng)"), std::string::npos);
        m_pty->Send({0x31, 0x32});
        ASSERT_TRUE(
            test::RunEventsUntil([&] { return Form().RxList().Model().CellCount() >= cells + 2; }));
        Form().SwitchMenu().ToggleCapture();
        EXPECT_EQ(Form().Port().Capture(), nullptr);
        m_pty->Send({0x33});
        test::RunEventsUntil([&] { return Form().RxList().Model().CellCount() >= cells + 3; });
    }
    const std::string text = test::ReadTestFile(folder.Path("session.log"));
    EXPECT_EQ(text.substr(text.find(" RX")), " RX 31 32  |12|\n");
    const test::CTsharkRun packets =
        test::RunTshark(folder.Path("session.pcapng"),
                        {"-T", "fields", "-e", "frame.interface_name", "-e", "data.data"});
    EXPECT_EQ(packets.code, 0) << packets.errors;
    EXPECT_EQ(packets.lines, std::vector<std::string>({"COM9 rx\t3132"}));
    SetFileDialogPresenter(previous);
}

// A full disk (here a file-size limit): one message naming what was lost, the switch off, and
// the lines that were written whole.
TEST_F(PortSwitchMenuTest, ACaptureThatCannotBeWrittenSaysSoOnceAndTurnsItsSwitchOff) {
    test::CTempFolder folder;
    const std::string path = folder.Path("full.log");
    const FileDialogPresenter previous =
        SetFileDialogPresenter([&](const CFileDialogRequest&) { return path; });
    test::CMessageRecorder messages;
    Form().SwitchMenu().ToggleCapture();
    {
        const test::CFileSizeLimit diskFull(100);
        for (uint8_t i = 0; i < 6; ++i) {
            m_pty->Send({static_cast<uint8_t>('a' + i)});
            ASSERT_TRUE(
                test::RunEventsUntil([&] { return Form().RxList().Model().CellCount() > i; }));
        }
        test::RunEventsUntil([&] { return !messages.Requests().empty(); });
    }
    ASSERT_EQ(messages.Requests().size(), 1u);
    EXPECT_EQ(messages.Requests()[0].caption, "Error");
    EXPECT_NE(messages.Requests()[0].text.find(path + ": File too large: 2 lines written, the "
                                                      "rest lost"),
              std::string::npos)
        << messages.Requests()[0].text;
    EXPECT_EQ(Form().Port().Capture(), nullptr);
    std::unique_ptr<QMenu> menu(Form().SwitchMenu().Build());
    EXPECT_FALSE(Action(*menu, CPortSwitchMenu::kCapture)->isChecked());
    const std::string text = test::ReadTestFile(path);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_EQ(text.back(), '\n');
    SetFileDialogPresenter(previous);
}

TEST_F(PortSwitchMenuTest, ALineErrorCellIsRedWithATooltipAndFailsTheReply) {
    const uint8_t bytes[] = {0x41, 0x00, 0x42, 0x43};
    const uint8_t marks[] = {1, 1, 0, 0};
    Form().ReceiveMarkedBytes(bytes, marks, 4);
    CByteListModel& rx = Form().RxList().Model();
    rx.Flush();
    auto tip = [&](int column) { return rx.data(rx.index(0, column), Qt::ToolTipRole).toString(); };
    EXPECT_EQ(tip(1), "Parity or framing error");
    EXPECT_EQ(tip(2), "BREAK");
    EXPECT_EQ(tip(3), "");
    QCoreApplication::processEvents();
    QTableView* view = Form().RxList().View();
    const QImage image = view->viewport()->grab().toImage();
    auto corner = [&](int column) {
        return image.pixelColor(view->visualRect(rx.index(0, column)).topLeft() + QPoint(1, 1));
    };
    EXPECT_EQ(corner(1), QColor(240, 80, 80));
    EXPECT_EQ(corner(2), QColor(240, 80, 80));
    EXPECT_NE(corner(3), QColor(240, 80, 80));
    Photograph(*m_host, "line-error-cells");

    // A reply byte that came with a line error does not match, whatever its value.
    CScriptRunState& state = Form().Sender().RunState();
    state.BeginCapture();
    state.OnReceived(bytes, 3, marks);
    EXPECT_EQ(state.ResponseLineErrors(3), std::vector<bool>({true, true, false}));
}

TEST_F(PortSwitchMenuTest, WithReconnectTheFormShowsOpenWhileWaitingAndCloseOnceBack) {
    Form().SwitchMenu().SetReconnect(true);
    m_pty.reset();
    ASSERT_TRUE(test::RunEventsUntil([&] { return !Form().IsPortOpen(); }));
    EXPECT_EQ(OpenCaption(), "Open");
    m_pty = std::make_unique<test::CRegisteredPty>(kCom);
    ASSERT_TRUE(test::RunEventsUntil([&] { return Form().IsPortOpen(); }, 5000));
    EXPECT_EQ(OpenCaption(), "Close");
    m_pty->Send({0x55});
    EXPECT_TRUE(
        test::RunEventsUntil([&] { return Form().RxList().Model().CellCount() >= 1; }, 5000));
}

// Picks an item of a combo the way a user does: open it, then keys down to the item and Return.
void Pick(QComboBox& combo, const QString& item) {
    combo.setFocus();
    const int steps = combo.findText(item) - combo.currentIndex();
    for (int i = 0; i < std::abs(steps); ++i)
        QTest::keyClick(&combo, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(combo.currentText(), item);
}

// A line the form cannot set, through the dialog and back to the form's own settings; the
// modem lamps, which a pseudo-terminal cannot light.
TEST_F(PortSwitchMenuTest, TheLineDialogSetsAnyLineAndTheLampsShowAndHide) {
    CLineDialog dialog(&Form(), {}, LineConfigFor(Form().Port()));
    QTest::mouseClick(&dialog.InsteadOfForm(), Qt::LeftButton);
    dialog.Rate().lineEdit()->selectAll();
    QTest::keyClicks(dialog.Rate().lineEdit(), "250000");
    Pick(dialog.StopBits(), "1.5");
    Pick(dialog.Flow(), "RTS/CTS");
    test::CMessageRecorder messages;
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QTest::mouseClick(ok, Qt::LeftButton);
    ASSERT_EQ(messages.Requests().size(), 1u) << "1.5 stop bits with 8 data bits";
    EXPECT_EQ(messages.Requests()[0].text,
              "1.5 stop bits: a serial line has them only with 5 data bits");
    Pick(dialog.StopBits(), "2");
    QTest::mouseClick(ok, Qt::LeftButton);
    ASSERT_EQ(dialog.result(), QDialog::Accepted);

    Form().SwitchMenu().ApplyLine(dialog.Choice());
    ASSERT_TRUE(Form().IsPortOpen());
    CTermiosFlags flags;
    CLineConfig line;
    ASSERT_EQ(ReadAppliedLine(m_pty->Pty().Slave(), line, &flags), "");
    EXPECT_EQ(line.baud, 250000u);
    EXPECT_EQ(flags.cflag & (CSTOPB | CRTSCTS), static_cast<uint32_t>(CSTOPB | CRTSCTS));
    Form().SwitchMenu().ApplyLine({});
    ASSERT_EQ(ReadAppliedLine(m_pty->Pty().Slave(), line, &flags), "");
    EXPECT_EQ(line.baud, LineConfigFor(Form().Port()).baud) << "the form's settings again";

    std::unique_ptr<QMenu> menu(Form().SwitchMenu().Build());
    EXPECT_TRUE(Action(*menu, CPortSwitchMenu::kSendBreak)->isEnabled());
    Action(*menu, CPortSwitchMenu::kModemLines)->trigger();
    const CModemLineIndicators& lamps = Form().ModemLamps();
    EXPECT_TRUE(lamps.isVisible());
    EXPECT_EQ(lamps.toolTip(), "The port is closed, or its device has no modem lines");
    menu.reset(Form().SwitchMenu().Build());
    EXPECT_TRUE(Action(*menu, CPortSwitchMenu::kModemLines)->isChecked());
}

} // namespace
} // namespace brivox
