#include "options/ControlBinder.h"

#include "platform/DialogBuilder.h"
#include "platform/TypingLimit.h"
#include "support/MessageRecorder.h"
#include "support/QtApp.h"
#include "support/TraceCapture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>
#include <gtest/gtest.h>

namespace brivox {
namespace {

using K = ControlKind;

// Controls listed out of position order on purpose: binding follows the layout, not the list.
CDialogTemplate TestDialog() {
    return {1,
            "",
            200,
            200,
            "Liberation Sans",
            8,
            {
                {13, K::CheckBox, "c3", 10, 30, 40, 10, ctl::kAutoCheckBox},
                {11, K::CheckBox, "c1", 10, 10, 40, 10, ctl::kAutoCheckBox},
                {19, K::PushButton, "push", 60, 15, 40, 14, ctl::kPushButton},
                {12, K::CheckBox, "c2", 10, 20, 40, 10, ctl::kAutoCheckBox},
                {14, K::CheckBox, "c4", 10, 40, 40, 10, ctl::kAutoCheckBox},
                {15, K::GroupBox, "frame", 100, 5, 90, 40, ctl::kGroupBox},
                {21, K::Edit, "", 10, 60, 40, 12},
                {22, K::Edit, "", 60, 60, 40, 12},
                {23, K::Edit, "", 110, 60, 40, 12},
                {31, K::ComboBox, "", 10, 80, 60, 60},
                {32, K::ComboBox, "", 80, 80, 60, 60},
            }};
}

class ControlBinderTest : public testing::Test {
protected:
    void SetUp() override {
        BuildDialog(&m_form, TestDialog());
        m_binder.Attach(&m_form);
        m_binder.SetTemplate("range_invalid", "$name must be $range_min~$range_max.");
        m_binder.SetTemplate("chars_invalid",
                             "The length of characters must be $chars_min~$chars_max.");
        m_binder.SetInt("slave", 3);
        m_binder.SetString("start", "7000");
        m_binder.SetInt("baud", 10);
        m_binder.BindLengthEdits("start,*", "Start Address", {{4, 4}, {9, 9}});
        m_binder.BindRangeEdits("*,slave,*", "Slave Address", {{0, 254}});
        m_binder.BindCombos("baud,missing", "Baud-Rate,Other",
                            {"600|1200|2400|4800|9600|19200|28800|38400|57600|76800|115200|128000|"
                             "256000",
                             "a|b"});
    }

    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(ControlById(&m_form, id)); }
    QComboBox* Combo(int id) { return qobject_cast<QComboBox*>(ControlById(&m_form, id)); }

    test::CQtAppFirst m_app;
    QWidget m_form;
    CControlBinder m_binder;
};

TEST_F(ControlBinderTest, KeysGoToControlsOfTheKindInPositionOrder) {
    m_binder.BindCheckBoxes("a,*,b", "");
    const struct {
        int id;
        const char* key;
    } expected[] = {{11, "a"},     {12, ""},      {13, "b"}, {14, ""},     {19, ""},       {15, ""},
                    {21, "start"}, {22, "slave"}, {23, ""},  {31, "baud"}, {32, "missing"}};
    for (const auto& e : expected)
        EXPECT_EQ(m_binder.KeyOf(ControlById(&m_form, e.id)), e.key) << e.id;
    EXPECT_EQ(Combo(31)->count(), 13);
    EXPECT_EQ(Combo(31)->itemText(12), "256000");
    EXPECT_EQ(Combo(32)->itemText(1), "b");
    EXPECT_EQ(CTypingLimit::LimitOf(Edit(21)), 4);
    EXPECT_EQ(CTypingLimit::LimitOf(Edit(22)), 5) << "digits of the maximum plus 2";
}

TEST_F(ControlBinderTest, LoadingClampsRangesAndLimitsComboIndexes) {
    const struct {
        int32_t stored;
        const char* shown;
    } slaves[] = {{999, "254"}, {-5, "0"}, {17, "17"}};
    for (const auto& s : slaves) {
        m_binder.SetInt("slave", s.stored);
        m_binder.LoadControls();
        EXPECT_EQ(Edit(22)->text(), s.shown);
    }
    EXPECT_EQ(Edit(21)->text(), "7000");

    m_binder.SetInt("baud", 20);
    m_binder.LoadControls();
    EXPECT_EQ(Combo(31)->currentIndex(), 12);
    EXPECT_EQ(Combo(32)->currentIndex(), -1) << "a missing key selects nothing";
}

TEST_F(ControlBinderTest, StoringValidatesWithReadableMessages) {
    test::CMessageRecorder boxes;
    m_binder.LoadControls();
    m_form.show();
    QApplication::setActiveWindow(&m_form);

    Edit(22)->setText("300");
    EXPECT_EQ(m_binder.StoreControls(true, false, nullptr, "Error", true),
              "Slave Address must be 0~254.");
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text, "Slave Address must be 0~254.");
    EXPECT_EQ(boxes.Requests()[0].caption, "Error");
    EXPECT_EQ(QApplication::focusWidget(), Edit(22));
    EXPECT_EQ(Edit(22)->selectedText(), "300");
    EXPECT_EQ(m_binder.GetInt("slave", -1), 3) << "the store keeps its old value";

    Edit(22)->setText("abc");
    Edit(21)->setText("12");
    EXPECT_EQ(m_binder.StoreControls(true, false, nullptr, "Error", true),
              "The length of characters must be 4~4.");
    EXPECT_EQ(QApplication::focusWidget(), Edit(21));

    Edit(21)->setText("  12");
    EXPECT_EQ(m_binder.StoreControls(true, false, nullptr, "Error", true), "");
    EXPECT_EQ(m_binder.GetString("start"), "12");
    EXPECT_EQ(m_binder.GetInt("slave", -1), 0) << "abc reads as 0, which is in range";
    EXPECT_EQ(boxes.Requests().size(), 2u);

    Edit(22)->setText("999");
    EXPECT_EQ(m_binder.StoreControls(false, true, nullptr, "Error", true), "");
    EXPECT_EQ(m_binder.GetInt("slave", -1), 254) << "clamped without validation";
    Combo(31)->setCurrentIndex(4);
    EXPECT_EQ(m_binder.StoreControl(Combo(31), true, false, "Error", true, true), "");
    EXPECT_EQ(m_binder.GetInt("baud", -1), 4);
}

TEST_F(ControlBinderTest, StoredTextsLongerThanTheirLimitLoadWholeAndFailValidation) {
    test::CMessageRecorder boxes;
    const char* stored[] = {"12345", "1234567890", "70001"};
    for (const char* text : stored) {
        m_binder.SetString("start", text);
        m_binder.LoadControls();
        EXPECT_EQ(Edit(21)->text(), text) << "never cut on loading";
        EXPECT_EQ(m_binder.StoreControls(true, false, nullptr, "Error", true),
                  "The length of characters must be 4~4.")
            << text;
        EXPECT_EQ(m_binder.GetString("start"), text) << "the store keeps it too";
        EXPECT_EQ(m_binder.StoreControls(false, false, nullptr, "Error", true), "");
        EXPECT_EQ(m_binder.GetString("start"), text) << "saved back whole";
    }
    EXPECT_EQ(boxes.Requests().size(), std::size(stored));
}

TEST_F(ControlBinderTest, TextTheUserDidNotEditKeepsItsBytes) {
    const std::string latin1 = "\xE9t\xE9"; // not UTF-8
    m_binder.SetString("start", latin1);
    m_binder.LoadControls();
    EXPECT_EQ(m_binder.StoreControls(false, false, nullptr, "Error", true), "");
    EXPECT_EQ(m_binder.GetString("start"), latin1);
    Edit(21)->setText(Edit(21)->text() + "x");
    EXPECT_EQ(m_binder.StoreControls(false, false, nullptr, "Error", true), "");
    EXPECT_EQ(m_binder.GetString("start"), Edit(21)->text().toStdString()) << "edited: as typed";
}

TEST_F(ControlBinderTest, ChecksWithoutRulesOrTemplates) {
    EXPECT_EQ(m_binder.CheckRange("start", 99999), "") << "no range rule";
    EXPECT_EQ(m_binder.CheckLength("slave", 0), "") << "no length rule";
    CControlBinder bare;
    EXPECT_EQ(bare.CheckRange("x", 1), "");
    EXPECT_EQ(bare.ClampedInt("x"), -1);
    EXPECT_EQ(m_binder.ClampedInt("start"), -1) << "not a range edit";
}

TEST_F(ControlBinderTest, CheckBoxesLoadAndStoreTheirState) {
    m_binder.SetInt("a", 1);
    m_binder.SetInt("b", 0);
    m_binder.BindCheckBoxes("a,*,b", "");
    m_binder.LoadControls();
    auto* first = qobject_cast<QAbstractButton*>(ControlById(&m_form, 11));
    auto* third = qobject_cast<QAbstractButton*>(ControlById(&m_form, 13));
    EXPECT_TRUE(first->isChecked());
    EXPECT_FALSE(third->isChecked());
    first->setChecked(false);
    third->setChecked(true);
    EXPECT_EQ(m_binder.StoreControls(true, false, nullptr, "Error", true), "");
    EXPECT_EQ(m_binder.GetInt("a", -1), 0);
    EXPECT_EQ(m_binder.GetInt("b", -1), 1);
}

TEST_F(ControlBinderTest, AMissingKeyIsReportedOnlyWithTheTraceOpen) {
    {
        test::CMessageRecorder boxes;
        m_binder.BindCheckBoxes("nothere", "");
        EXPECT_TRUE(boxes.Requests().empty());
    }
    const test::CTraceCapture trace;
    test::CMessageRecorder boxes;
    m_binder.BindCheckBoxes("nothere", "");
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text, "km 27881: 'nothere' not initialized");
    EXPECT_EQ(m_binder.KeyOf(ControlById(&m_form, 11)), "nothere") << "binds all the same";
}

} // namespace
} // namespace brivox
