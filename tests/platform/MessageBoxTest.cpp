#include "platform/MessageBox.h"

#include "support/MessageRecorder.h"
#include "support/QtApp.h"
#include "trace/SharedString.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

namespace brivox {
namespace {

TEST(MessageBoxTest, TheRecorderCapturesRequestsAndAnswersAsScripted) {
    test::CMessageRecorder recorder;
    recorder.ScriptAnswer(kIdNo);
    EXPECT_EQ(ShowMessage("Delete it?", "Question", kMbYesNo | kMbIconQuestion), kIdNo);
    EXPECT_EQ(ShowMessage("Done", "Error", kMbOk), kIdOk);
    ASSERT_EQ(recorder.Requests().size(), 2u);
    EXPECT_EQ(recorder.Requests()[0].text, "Delete it?");
    EXPECT_EQ(recorder.Requests()[0].caption, "Question");
    EXPECT_EQ(recorder.Requests()[0].type, unsigned{kMbYesNo | kMbIconQuestion});
}

TEST(MessageBoxTest, AnEmptyCaptionTakesThePublishedApplicationName) {
    test::CMessageRecorder recorder;
    ShowMessage("one", "", kMbOk);
    const std::string name = "wapp_name_" + std::to_string(getpid());
    ASSERT_TRUE(SetSharedString(name, "Brivox Tool"));
    ShowMessage("two", "", kMbOk);
    ReleaseSharedString(name);
    EXPECT_EQ(recorder.Requests()[0].caption, "");
    EXPECT_EQ(recorder.Requests()[1].caption, "Brivox Tool");
}

TEST(MessageBoxTest, TheRealBoxShowsTextCaptionAndButtons) {
    test::QtApp();
    QString seenText, seenTitle;
    QMessageBox::StandardButtons seenButtons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenTitle = box->windowTitle();
        seenButtons = box->standardButtons();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(ShowMessage("Port busy", "Error", kMbYesNo | kMbIconError), kIdNo);
    EXPECT_EQ(seenText, "Port busy");
    EXPECT_EQ(seenTitle, "Error");
    EXPECT_EQ(seenButtons, QMessageBox::Yes | QMessageBox::No);
}

} // namespace
} // namespace brivox
