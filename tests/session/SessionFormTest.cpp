#include "session/SessionForm.h"

#include "app/SessionHost.h"
#include "options/GlobalOptions.h"
#include "options/OptionKeys.h"
#include "platform/TypingLimit.h"
#include "session/FormStates.h"
#include "session/SessionFormFixture.h"
#include "session/SessionFormIds.h"
#include "support/LocalOnly.h"
#include "support/MessageRecorder.h"
#include "support/PortTestSupport.h"
#include "support/QtApp.h"
#include "support/TraceCapture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <memory>

namespace brivox {
namespace {

using namespace idc;

using SessionFormTest = test::CSessionFormFixture;

TEST_F(SessionFormTest, PositionalBindingsLandOnTheirControls) {
    const std::pair<int, const char*> expected[] = {
        {kPort, "GOPT.spindex"},
        {kBaud, "GOPT.brindex"},
        {kMode, "GOPT.jpdkind"},
        {kFunction, "GOPT.mdfcindex"},
        {kViewType, "GOPT.rsdptype"},
        {kParity, "GOPT.bparity"},
        {kDataBits, "GOPT.databits"},
        {kStopBits, "GOPT.stopbits"},
        {kClearAfterSending, "GOPT.clear_jpdtext_after_sdsending"},
        {kRts, "GOPT.enable_rts"},
        {kDtr, "GOPT.enable_dtr"},
        {kBitOn, "GOPT.mdbiton"},
        {kStartAddress, "GOPT.mdstaddress"},
        {kSlaveAddress, "GOPT.mdsladdress"},
        {kLength, "GOPT.mdlength"},
        {kWordData, "GOPT.mdwddata"},
        {kBitsData, "GOPT.gmdthbyte"},
        {kWordsData, "GOPT.gmdthword"},
        {kRepeatCycle, "GOPT.wsdsinterval"},
        {kByteDelay, "GOPT.sdsdelay"},
        {kTestSend, ""},
        {kRepeat, ""},
        {kStopDisplay, ""},
        {kFilePath, ""},
        {kInput, ""},
    };
    for (const auto& [id, key] : expected)
        EXPECT_EQ(Form().Binder().KeyOf(Form().Control(id)), key) << id;
    EXPECT_EQ(Combo(kBaud)->itemText(10), "115200");
    EXPECT_EQ(Combo(kMode)->itemText(6), "File Transfer(1Kbyte maximum)");
    EXPECT_EQ(Combo(kFunction)->itemText(7), "Word Read [04]");
    EXPECT_EQ(Combo(kStopBits)->itemText(1), "Stop Bits 2");
}

TEST_F(SessionFormTest, ControlsLoadFromTheGlobalStoreClamped) {
    GlobalOptions().SetInt(opt::kModbusSlaveAddress, 999);
    GlobalOptions().SetInt(opt::kBaudIndex, 20);
    GlobalOptions().SetString(opt::kTransferFilePath, "/tmp/data.bin");
    EXPECT_EQ(Edit(kSlaveAddress)->text(), "254");
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(Form().Control(kFilePath))->toPlainText(),
              "/tmp/data.bin");
    EXPECT_EQ(Combo(kBaud)->currentIndex(), 12);
    EXPECT_EQ(Edit(kStartAddress)->text(), "7000");
    EXPECT_EQ(Edit(kRepeatCycle)->text(), "3000");
    EXPECT_TRUE(Button(kDtr)->isChecked());
    EXPECT_FALSE(Button(kTestSend)->isChecked());
    EXPECT_EQ(CTypingLimit::LimitOf(Edit(kSlaveAddress)), 5);
    EXPECT_EQ(CTypingLimit::LimitOf(Edit(kWordsData)), 2000);
    EXPECT_EQ(qobject_cast<QTextEdit*>(Form().Control(kInput))->geometry().left(),
              Form().Control(kFunctionLabel)->x());
}

TEST_F(SessionFormTest, ValidationMessagesAndFocus) {
    test::CRegisteredPty pty(2);
    test::CMessageRecorder boxes;
    Form();
    m_host->show();
    QApplication::setActiveWindow(m_host.get());
    Choose(kMode, 5); // the MODBUS fields are shown, and enabled with the port open
    ChoosePort(2);
    Button(kOpenClose)->click();
    Edit(kSlaveAddress)->setText("300");
    EXPECT_EQ(Form().Binder().StoreControls(true, false, nullptr, "Error", true),
              "Slave Address must be 0~254.");
    EXPECT_EQ(QApplication::focusWidget(), Edit(kSlaveAddress));
    Edit(kSlaveAddress)->setText("3");
    Edit(kStartAddress)->setText("12");
    EXPECT_EQ(Form().Binder().StoreControls(true, false, nullptr, "Error", true),
              "The length of characters must be 4~4.");
    ASSERT_EQ(boxes.Requests().size(), 2u);
    EXPECT_EQ(boxes.Requests()[1].caption, "Error");
}

TEST_F(SessionFormTest, ModesShowTheirControls) {
    Choose(kMode, 5); // MODBUS RTU
    for (const int id : {kFunction, kStartAddress, kBitsData, kWordsData, kBitOn})
        EXPECT_TRUE(Shown(id)) << id;
    for (const int id : {kInput, kHelpText, kGuide, kHistory})
        EXPECT_FALSE(Shown(id)) << id;
    EXPECT_EQ(Form().Binder().GetInt(opt::kModeIndex, -1), 5);

    Choose(kMode, 1); // Detail
    EXPECT_TRUE(Shown(kGuide));
    EXPECT_TRUE(Shown(kHistory));
    EXPECT_TRUE(Shown(kInput));
    EXPECT_NE(qobject_cast<QLabel*>(Form().Control(kHelpText))->text().indexOf("05 <06 00 10>"),
              -1);

    Choose(kMode, 0); // Key Stroke
    for (const int id : {kSend, kRepeat, kRepeatCycle})
        EXPECT_FALSE(Enabled(id)) << id;

    Choose(kMode, 1);
    Button(kTestSend)->setChecked(true);
    emit Button(kTestSend)->clicked(true);
    for (const int id : {kMode, kSend, kClearAfterSending})
        EXPECT_FALSE(Shown(id)) << id;
    EXPECT_TRUE(Shown(kTestSendText));
    EXPECT_FALSE(Enabled(kPort));
}

TEST_F(SessionFormTest, EveryStatefulControlFollowsTheRulesInEveryMode) {
    test::CRegisteredPty pty(7);
    for (const bool open : {false, true}) {
        if (open) {
            Button(kTestSend)->setChecked(false);
            emit Button(kTestSend)->clicked(false);
            ChoosePort(7);
            Button(kOpenClose)->click();
            ASSERT_TRUE(Form().IsPortOpen());
        }
        for (int mode = 0; mode <= 6; ++mode) {
            Choose(kMode, mode);
            for (const bool test : {false, true}) {
                Button(kTestSend)->setChecked(test);
                emit Button(kTestSend)->clicked(test);
                const CFormConditions conditions = Form().Conditions();
                for (const int id : {kInput, kHelpText, kSend, kGuide, kHistory, kFilePath,
                                     kTestSendText, kFunction, kRepeat, kRepeatCycle, kMode}) {
                    EXPECT_EQ(Shown(id), IsControlShown(id, conditions))
                        << "mode " << mode << " test " << test << " open " << open << " id " << id;
                    EXPECT_EQ(Enabled(id), IsControlEnabled(id, conditions))
                        << "mode " << mode << " test " << test << " open " << open << " id " << id;
                }
            }
        }
    }
}

TEST_F(SessionFormTest, OpenAndCloseAPortWithItsLines) {
    test::CRegisteredPty pty(3);
    ChoosePort(3);
    EXPECT_EQ(Button(kOpenClose)->text(), "Open");
    Button(kOpenClose)->click();
    ASSERT_TRUE(Form().IsPortOpen());
    EXPECT_EQ(Form().OpenPortNumber(), 3);
    EXPECT_EQ(Button(kOpenClose)->text(), "Close");
    EXPECT_EQ(Form().Port().GetSettings(), "115200,N,8,1");
    EXPECT_TRUE(Enabled(kSend) || Combo(kMode)->currentIndex() == 0);
    EXPECT_FALSE(Enabled(kOpenClose) && Button(kRepeat)->isChecked());

    pty.Send({0x41});
    Button(kOpenClose)->click();
    EXPECT_FALSE(Form().IsPortOpen());
    EXPECT_EQ(Button(kOpenClose)->text(), "Open");
}

TEST_F(SessionFormTest, OpenRefusesABlankLineSettingAndAnUneditedPathKeepsItsBytes) {
    test::CRegisteredPty pty(2);
    GlobalOptions().SetInt(opt::kStopBitsIndex, -1); // as a damaged settings file can leave it
    GlobalOptions().SetString(opt::kTransferFilePath, "/tmp/caf\xE9.bin");
    test::CMessageRecorder boxes;
    ChoosePort(2);
    Button(kOpenClose)->click();
    EXPECT_FALSE(Form().IsPortOpen());
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text, "Choose the Stop Bits before opening the port.");
    Choose(kStopBits, 1);
    Button(kOpenClose)->click();
    EXPECT_TRUE(Form().IsPortOpen());
    Form().CollectControls();
    EXPECT_EQ(Form().Binder().GetString(opt::kTransferFilePath), "/tmp/caf\xE9.bin");
}

TEST_F(SessionFormTest, OnlyAPortTheUserMayNotOpenBringsAMessage) {
    test::CRegisteredPty pty(3);
    ChoosePort(3);
    {
        test::CRecordingPort holder(3); // another program has it
        ASSERT_TRUE(holder.Open());
        test::CMessageRecorder boxes;
        Button(kOpenClose)->click();
        EXPECT_FALSE(Form().IsPortOpen());
        EXPECT_TRUE(boxes.Requests().empty()) << "a busy port stays silent";
    }
    test::CMessageRecorder boxes;
    {
        const test::CDeniedDevice denied(pty.Pty().SlavePath());
        Button(kOpenClose)->click();
    }
    EXPECT_FALSE(Form().IsPortOpen());
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].caption, "Error");
    EXPECT_EQ(boxes.Requests()[0].text,
              "Cannot open COM3 (" + pty.Pty().SlavePath() +
                  "): permission denied. Add your user to the dialout group (sudo usermod -aG "
                  "dialout $USER) and log in again.");
    Button(kOpenClose)->click();
    EXPECT_TRUE(Form().IsPortOpen()) << "opens once the rights are there";
}

TEST_F(SessionFormTest, ChangesWhileOpenReopenTheirPort) {
    test::CRegisteredPty first(3);
    test::CRegisteredPty second(4);
    ChoosePort(3);
    const test::CTraceCapture trace; // after the form: a developer's form asks for a banner script
    Button(kOpenClose)->click();
    ASSERT_TRUE(Form().IsPortOpen());

    ChoosePort(4);
    EXPECT_EQ(Form().OpenPortNumber(), 4);
    EXPECT_EQ(Button(kOpenClose)->text(), "Close");

    Choose(kBaud, 4);
    EXPECT_EQ(Form().Port().GetSettings(), "9600,N,8,1");
    Choose(kParity, 2);
    EXPECT_EQ(Form().Port().GetSettings(), "9600,E,8,1");
    EXPECT_TRUE(Form().IsPortOpen());
    EXPECT_EQ(Form().Binder().GetInt(opt::kParityIndex, -1), 2);
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Trying to change to 9600,N,8,1(4)"}));
}

TEST_F(SessionFormTest, AFailedChangeRestoresThePreviousChoiceWithItsMessage) {
    test::CRegisteredPty working(3);
    test::CRegisteredPty removed(5);
    ChoosePort(3); // both listed at start-up
    removed.Pty().Close();
    Button(kOpenClose)->click();
    ASSERT_TRUE(Form().IsPortOpen());

    test::CMessageRecorder boxes;
    ChoosePort(5);
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text, "Cannot Change Port to COM5");
    EXPECT_EQ(boxes.Requests()[0].caption, "Port Cannot be Changed");
    EXPECT_EQ(Combo(kPort)->currentText().left(5), "COM3 ");
    EXPECT_EQ(Form().OpenPortNumber(), 3) << "reopened on the previous port";

    working.Pty().Close(); // the open device goes away
    Choose(kBaud, 4);
    if (boxes.Requests().size() == 2u) { // the change raced ahead of the loss notice
        EXPECT_EQ(boxes.Requests()[1].text, "Cannot Change Baud Rate to 9600");
        EXPECT_EQ(boxes.Requests()[1].caption, "Baud Rate Cannot be Changed");
        EXPECT_EQ(Combo(kBaud)->currentIndex(), 10);
    }
    test::RunEventsUntil([&] { return !Form().IsPortOpen(); }, 2000);
    EXPECT_FALSE(Form().IsPortOpen());
    EXPECT_EQ(Button(kOpenClose)->text(), "Open");
}

TEST_F(SessionFormTest, APulledDeviceShowsThePortClosedWithoutMessages) {
    test::CRegisteredPty pty(3);
    ChoosePort(3);
    Button(kOpenClose)->click();
    ASSERT_TRUE(Form().IsPortOpen());
    test::CMessageRecorder boxes;
    pty.Pty().Close();
    ASSERT_TRUE(test::RunEventsUntil([&] { return Button(kOpenClose)->text() == "Open"; }, 5000));
    EXPECT_FALSE(Enabled(kSend));
    EXPECT_TRUE(boxes.Requests().empty());
}

TEST_F(SessionFormTest, NewSessionsPreselectTheFirstFreePort) {
    test::CRegisteredPty com1(1);
    test::CRegisteredPty com2(2);
    ChoosePort(1);
    Button(kOpenClose)->click();
    ASSERT_TRUE(Form().IsPortOpen());
    EXPECT_EQ(CSessionHost::DefaultPortIndex(), 1);

    CSessionHost* child = CSessionHost::AddChildSession();
    auto* childCombo = qobject_cast<QComboBox*>(child->Form()->Control(kPort));
    childCombo->setCurrentIndex(childCombo->findText("COM2 (", Qt::MatchStartsWith));
    qobject_cast<QAbstractButton*>(child->Form()->Control(kOpenClose))->click();
    ASSERT_TRUE(child->Form()->IsPortOpen());

    CSessionHost* third = CSessionHost::AddChildSession();
    EXPECT_EQ(third->Form()->Binder().GetInt(opt::kPortIndex, -1), 2);
    CSessionHost::DestroyAllChildSessions();
    EXPECT_FALSE(CSessionHost::HasChildSessions());
}

TEST_F(SessionFormTest, OnlyTheMainSessionSavesItsSettings) {
    Choose(kBaud, 4);
    CSessionHost* child = CSessionHost::AddChildSession();
    auto* childBaud = qobject_cast<QComboBox*>(child->Form()->Control(kBaud));
    childBaud->setCurrentIndex(7);
    emit childBaud->activated(7);
    EXPECT_EQ(child->Form()->Binder().GetInt(opt::kBaudIndex, -1), 7);
    EXPECT_EQ(GlobalOptions().GetInt(opt::kBaudIndex, -1), 10) << "the global store stays";
    child->close(); // a child's close box destroys it
    EXPECT_TRUE(test::RunEventsUntil([] { return !CSessionHost::HasChildSessions(); }, 2000));

    Edit(kSlaveAddress)->setText("17");
    qobject_cast<QPlainTextEdit*>(Form().Control(kFilePath))->setPlainText("/data/firmware.bin");
    m_host.reset();
    COptionStore saved;
    ASSERT_TRUE(saved.Load(SettingsFilePath(), false));
    EXPECT_EQ(saved.GetInt(opt::kBaudIndex, -1), 4);
    EXPECT_EQ(saved.GetInt(opt::kModbusSlaveAddress, -1), 17);
    EXPECT_EQ(saved.GetString(opt::kTransferFilePath), "/data/firmware.bin");
}

TEST_F(SessionFormTest, TheViewTypeIsStoredAndDevelopersSeeTheKeys) {
    const auto overlays = [this] {
        return Form().findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size();
    };
    const auto before = overlays();
    Choose(kViewType, 1);
    EXPECT_EQ(Form().Binder().GetInt(opt::kViewTypeIndex, -1), 1);
    EXPECT_EQ(overlays(), before) << "no overlay without the developer marker";
    const test::CTraceCapture trace; // opens the trace gate
    Choose(kViewType, 0);
    EXPECT_EQ(overlays(), before + 1) << "the key overlay";
}

TEST_F(SessionFormTest, EscapeNeverClosesTheForm) {
    Form();
    m_host->show();
    QTest::keyClick(&Form(), Qt::Key_Escape);
    QTest::keyClick(Combo(kBaud), Qt::Key_Escape);
    QTest::keyClick(&Form(), Qt::Key_Return);
    EXPECT_TRUE(Form().isVisible());
    EXPECT_TRUE(m_host->isVisible());
}

} // namespace
} // namespace brivox
