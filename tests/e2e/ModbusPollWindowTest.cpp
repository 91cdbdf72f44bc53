// "MODBUS Poll..." against brivox-devsim's slave on a pseudo-terminal it registers as COM54: the
// window opened from the lists' menu, polled with real clicks, a value written by double-click,
// the counters, the aliases kept, and the form's own MODBUS sends taking turns with the poll.
#include "session/ModbusPollWindow.h"

#include "platform/Paths.h"
#include "session/PollWriteDialog.h"
#include "session/SessionFormFixture.h"
#include "support/DevsimProcess.h"
#include "support/PortTestSupport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <fstream>
#include <sstream>

namespace brivox {
namespace {

using namespace idc;

class ModbusPollWindowTest : public test::CSessionFormFixture {
protected:
    ModbusPollWindowTest() { ShowWithDevsim(); }
    void ShowWithDevsim() {
        m_devsim = std::make_unique<test::CDevsimProcess>(
            std::vector<std::string>{"--modbus", "rtu", "--register", "54"});
        ShowWithPortOpen(54);
    }

    // "MODBUS Poll..." from the TX&RX list's context menu, as a right click opens it.
    CModbusPollWindow& OpenFromMenu() {
        QTableView* view = Form().TxRxList().View();
        emit view->customContextMenuRequested(QPoint(20, 20));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text() == QLatin1String(CSessionForm::kPollAction))
                action->trigger();
        menu->close();
        EXPECT_FALSE(Form().PollWindows().back()->isHidden());
        return *Form().PollWindows().back();
    }
    // Floats in CDAB order from holding register 0010, every 20 ms.
    static void DefineFloats(CModbusPollWindow& window) {
        window.SlaveBox().setValue(1);
        window.FunctionBox().setCurrentIndex(2);
        window.StartBox().clear();
        QTest::keyClicks(&window.StartBox(), "0010");
        window.CountBox().setValue(4);
        window.RateBox().setValue(20);
        window.TypeBox().setCurrentText("f32");
        window.OrderBox().setCurrentText("CDAB");
    }
    static QString Value(CModbusPollWindow& window, int row) {
        return window.Model().data(window.Model().index(row, CPollTableModel::kValue)).toString();
    }
    static bool ShowsValue(CModbusPollWindow& window, int row, const char* value) {
        return test::RunEventsUntil([&] { return Value(window, row) == QLatin1String(value); });
    }
    // A double-click on the value, the new value typed into the dialog, OK.
    static void WriteByDoubleClick(CModbusPollWindow& window, int row, const char* value) {
        QTableView& table = window.Table();
        const QRect cell = table.visualRect(window.Model().index(row, CPollTableModel::kValue));
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        auto* dialog = window.findChild<CPollWriteDialog*>();
        ASSERT_NE(dialog, nullptr);
        dialog->ValueBox().setText(QString::fromLatin1(value));
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }
    static std::string Status(CModbusPollWindow& window) {
        return window.StatusLine().text().toStdString();
    }

    std::unique_ptr<test::CDevsimProcess> m_devsim;
};

TEST_F(ModbusPollWindowTest, PollsFloatsAndWritesOneByDoubleClick) {
    CModbusPollWindow& window = OpenFromMenu();
    DefineFloats(window);
    QTest::mouseClick(&window.StartButton(), Qt::LeftButton);
    EXPECT_EQ(window.StartButton().text(), QLatin1String(CModbusPollWindow::kStop));
    ASSERT_EQ(window.Model().rowCount(), 2);
    // Register 0010 holds 0010 and 0011 holds 0011: CDAB reads 0x00110010.
    EXPECT_TRUE(ShowsValue(window, 0, "1.561226e-39")) << Value(window, 0).toStdString();

    WriteByDoubleClick(window, 0, "3.14159");
    EXPECT_TRUE(ShowsValue(window, 0, "3.14159")) << Status(window);
    EXPECT_TRUE(window.Model().Changed(0) || Value(window, 0) == "3.14159");
    WriteByDoubleClick(window, 1, "-2.5");
    EXPECT_TRUE(ShowsValue(window, 1, "-2.5")) << Status(window);
    EXPECT_TRUE(test::RunEventsUntil([&] { return !window.Model().Changed(1); }))
        << "a changed value is highlighted for one refresh";

    EXPECT_TRUE(
        test::RunEventsUntil([&] { return window.Poll().Poll()->Statistics().valid >= 10; }));
    const std::string status = Status(window);
    EXPECT_NE(status.find("time-outs 0, CRC errors 0, exceptions 0"), std::string::npos) << status;
    EXPECT_NE(status.find("reply time min"), std::string::npos) << status;

    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    EXPECT_TRUE(window.grab().save(BRIVOX_SCREENSHOT_DIR "/modbus-poll-cdab.png"));
    QTest::mouseClick(&window.StartButton(), Qt::LeftButton);
    EXPECT_FALSE(window.Poll().Running());
}

TEST_F(ModbusPollWindowTest, InputsAreNotWrittenAndBadValuesAreRefused) {
    CModbusPollWindow& window = OpenFromMenu();
    DefineFloats(window);
    QTest::mouseClick(&window.StartButton(), Qt::LeftButton);
    ASSERT_TRUE(ShowsValue(window, 0, "1.561226e-39"));
    window.Write(0, "pump");
    EXPECT_NE(Status(window).find("write: "), std::string::npos) << Status(window);
    QTest::mouseClick(&window.StartButton(), Qt::LeftButton);

    window.FunctionBox().setCurrentIndex(3); // input registers
    QTest::mouseClick(&window.StartButton(), Qt::LeftButton);
    ASSERT_TRUE(test::RunEventsUntil([&] { return !Value(window, 0).isEmpty(); }));
    const QRect cell = window.Table().visualRect(window.Model().index(0, CPollTableModel::kValue));
    QTest::mouseDClick(window.Table().viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(window.findChild<CPollWriteDialog*>(), nullptr);
}

TEST_F(ModbusPollWindowTest, AliasesAreKeptWithTheDefinition) {
    CModbusPollWindow& window = OpenFromMenu();
    DefineFloats(window);
    QTest::mouseClick(&window.StartButton(), Qt::LeftButton);
    window.Model().setData(window.Model().index(1, CPollTableModel::kAlias), "Flow", Qt::EditRole);
    window.close();

    std::ifstream file(SettingsPath("polls") + "/1-03-0010.poll");
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("type=f32\norder=CDAB\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("alias 0012=Flow\n"), std::string::npos) << text.str();

    CModbusPollWindow& again = OpenFromMenu();
    EXPECT_EQ(again.StartBox().text(), QLatin1String("0010"));
    EXPECT_EQ(again.OrderBox().currentText(), QLatin1String("CDAB"));
    EXPECT_EQ(again.Model().data(again.Model().index(1, CPollTableModel::kAlias)).toString(),
              QLatin1String("Flow"));
}

// Back to back, the poll leaves the line to the form's request and takes none of its reply.
TEST_F(ModbusPollWindowTest, TheFormsSendsTakeTurnsWithThePoll) {
    CModbusPollWindow& window = OpenFromMenu();
    DefineFloats(window);
    window.RateBox().setValue(0);
    QTest::mouseClick(&window.StartButton(), Qt::LeftButton);
    ASSERT_TRUE(
        test::RunEventsUntil([&] { return window.Poll().Poll()->Statistics().valid > 50; }));

    Choose(kMode, 5);     // MODBUS RTU
    Choose(kFunction, 2); // Word Read [03]
    Edit(kSlaveAddress)->setText("1");
    Edit(kStartAddress)->setText("000A");
    Edit(kLength)->setText("2");
    for (int send = 0; send < 5; ++send) {
        Form().RxList().Model().Clear();
        Button(kSend)->click();
        CByteListModel& rx = Form().RxList().Model();
        ASSERT_TRUE(test::RunEventsUntil([&] { return rx.CellCount() >= 9; })) << send;
        rx.Flush();
        EXPECT_EQ(rx.CellCount(), 9) << "the form's reply, whole, and nothing of the poll's";
        EXPECT_EQ(rx.RowAt(0)->Value(2), 4) << "byte count of two registers";
    }
    const CModbusPollStatistics& statistics = window.Poll().Poll()->Statistics();
    EXPECT_EQ(statistics.valid + (window.Poll().Poll()->Awaiting() ? 1 : 0), statistics.requests);
}

} // namespace
} // namespace brivox
