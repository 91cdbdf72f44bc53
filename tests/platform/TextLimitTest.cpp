#include "platform/RichEdit.h"
#include "platform/TypingLimit.h"
#include "support/QtApp.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace brivox {
namespace {

class TextLimitTest : public testing::Test {
protected:
    test::CQtAppFirst m_app;
};

TEST_F(TextLimitTest, ALineEditLimitsTypingButNotTextSetByCode) {
    QLineEdit edit;
    CTypingLimit::Install(&edit, 4);
    EXPECT_EQ(CTypingLimit::LimitOf(&edit), 4);
    CTypingLimit::SetText(&edit, "123456");
    EXPECT_EQ(edit.text(), "123456") << "loaded whole";
    QTest::keyClick(&edit, Qt::Key_7);
    EXPECT_EQ(edit.text(), "123456") << "no growth past the limit";
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "12345") << "deleting still works";
    CTypingLimit::SetText(&edit, "12");
    QApplication::clipboard()->setText("3456");
    edit.paste();
    EXPECT_EQ(edit.text(), "1234") << "a paste is cut to fit";
    edit.undo();
    EXPECT_EQ(edit.text(), "12");
}

TEST_F(TextLimitTest, TheRichEditRefusesWhatDoesNotFitBeforeItLands) {
    CRichEdit edit(nullptr);
    edit.SetTextLimit(10);
    edit.setPlainText("12345678");
    edit.moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText("abcdef");
    edit.paste();
    EXPECT_EQ(edit.toPlainText(), "12345678ab");
    QTest::keyClick(&edit, Qt::Key_X);
    EXPECT_EQ(edit.toPlainText(), "12345678ab") << "typing into a full box";
    edit.undo();
    EXPECT_EQ(edit.toPlainText(), "12345678") << "the paste undoes whole, the old text stays";

    QInputMethodEvent commit;
    commit.setCommitString("xyz");
    QCoreApplication::sendEvent(&edit, &commit);
    EXPECT_EQ(edit.toPlainText(), "12345678xy") << "an input method's commit is cut";
    edit.textCursor().deletePreviousChar();
    QTest::keyClick(&edit, Qt::Key_Z);
    EXPECT_EQ(edit.toPlainText(), "12345678xz");
}

} // namespace
} // namespace brivox
