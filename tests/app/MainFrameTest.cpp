#include "app/MainFrame.h"

#include "app/AboutBox.h"
#include "app/SessionHost.h"
#include "banner/LinkStatic.h"
#include "options/GlobalOptions.h"
#include "platform/DeveloperMarker.h"
#include "platform/DialogBuilder.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"
#include "support/LayoutCheck.h"
#include "support/LocalOnly.h"
#include "support/MessageRecorder.h"
#include "support/PortTestSupport.h"
#include "support/QtApp.h"
#include "support/TempFolder.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace brivox {
namespace {

class MainFrameTest : public testing::Test {
protected:
    MainFrameTest() { test::ResetGlobalOptions(); }

    CMainFrame& Frame() {
        if (!m_frame)
            m_frame = std::make_unique<CMainFrame>(StatePath());
        return *m_frame;
    }
    std::string StatePath() const { return m_folder.Path("xyt_wnds_state.dat"); }
    QSize Screen() const { return QGuiApplication::primaryScreen()->size(); }
    CSessionForm& MainForm() { return *Frame().View().MainHost()->Form(); }
    void ShowAndPaint() {
        Frame().ActivateFrame();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
        QCoreApplication::processEvents();
    }
    QAction* MenuAction(const QString& text) {
        for (QAction* menu : Frame().menuBar()->actions()) {
            for (QAction* action : menu->menu()->actions()) {
                if (action->text() == text)
                    return action;
            }
        }
        return nullptr;
    }

    test::CQtAppFirst m_app;
    test::CTempFolder m_folder;
    std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(MainFrameTest, CaptionMenusAndOneMainSession) {
    EXPECT_EQ(Frame().windowTitle(), "Brivox v1.42");
    for (const char* text :
         {"Add Child Session", "Close All Child Sessions", "Exit", "About Brivox.."})
        EXPECT_NE(MenuAction(text), nullptr) << text;
    CSessionHost* host = Frame().View().MainHost();
    ASSERT_NE(host, nullptr);
    Frame().Document().OnNewDocument(); // the framework's New command
    EXPECT_EQ(Frame().View().MainHost(), host) << "no second session";
    EXPECT_EQ(CSessionHost::MainHost(), host);
}

TEST_F(MainFrameTest, PlacementComesFromTheWindowStateFileClamped) {
    const int w = Screen().width();
    const int h = Screen().height();
    const struct {
        const char* text;
        QPoint position;
        bool maximized;
    } cases[] = {
        {nullptr, {w / 8, h / 8}, false},
        {"max=1&x=-50&y=20&cx=10&cy=10", {0, 20}, true},
        {"x=5000&y=5000&cx=800&cy=600&max=0", {w - w / 4, h - h / 4}, false},
        {"x=40&y=30&cx=800&cy=600", {w / 8, h / 8}, false},
    };
    for (const auto& c : cases) {
        if (c.text != nullptr)
            test::WriteTestFile(StatePath(), c.text);
        m_frame = std::make_unique<CMainFrame>(StatePath());
        EXPECT_EQ(m_frame->pos(), c.position) << (c.text ? c.text : "(no file)");
        m_frame->ActivateFrame();
        EXPECT_EQ(m_frame->isMaximized(), c.maximized) << (c.text ? c.text : "(no file)");
        m_frame.reset();
        unlink(StatePath().c_str());
    }
}

TEST_F(MainFrameTest, FitsItselfToTheFormAtTheFirstPaint) {
    ShowAndPaint();
    const QWidget* protocol = MainForm().Control(idc::kProtocolGroup);
    const QWidget* banner = MainForm().Control(idc::kBanner);
    const QRect frame = Frame().frameGeometry();
    EXPECT_EQ(frame.right() + 1, protocol->mapToGlobal(QPoint(protocol->width(), 0)).x() + 10);
    EXPECT_EQ(frame.bottom() + 1, banner->mapToGlobal(QPoint(0, banner->height())).y() + 7);
    for (QWidget* child : MainForm().findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_LE(child->geometry().right(), protocol->geometry().right()) << ControlId(child);
}

TEST_F(MainFrameTest, TheWindowStateIsWrittenWhenTheFrameGoes) {
    ShowAndPaint();
    Frame().move(60, 70);
    QTest::qWait(300); // a placement is recorded once it has held for a moment
    const QSize size = Frame().frameGeometry().size();
    Frame().showMaximized();
    QCoreApplication::processEvents();
    m_frame.reset();
    EXPECT_EQ(test::ReadTestFile(StatePath()),
              "max=1&x=60&y=70&cx=" + std::to_string(size.width()) +
                  "&cy=" + std::to_string(size.height()));
}

TEST_F(MainFrameTest, ChildSessionsCascadeAndCloseTogether) {
    ShowAndPaint();
    QAction* closeAll = MenuAction("Close All Child Sessions");
    emit Frame().menuBar()->actions()[0]->menu()->aboutToShow();
    EXPECT_FALSE(closeAll->isEnabled());

    Frame().move(100, 100);
    QCoreApplication::processEvents();
    const QPoint origin = Frame().View().MainHost()->mapToGlobal(QPoint(0, 0));
    for (int i = 1; i <= 3; ++i) {
        MenuAction("Add Child Session")->trigger();
        EXPECT_EQ(CSessionHost::ChildSessionCount(), i);
    }
    emit Frame().menuBar()->actions()[0]->menu()->aboutToShow();
    EXPECT_TRUE(closeAll->isEnabled());
    closeAll->trigger();
    EXPECT_FALSE(CSessionHost::HasChildSessions());

    Frame().move(200, 150);
    QCoreApplication::processEvents();
    CSessionHost* child = CSessionHost::AddChildSession();
    EXPECT_EQ(child->pos(), Frame().View().MainHost()->mapToGlobal(QPoint(20, 20)));
    EXPECT_NE(origin, Frame().View().MainHost()->mapToGlobal(QPoint(0, 0)));
    CSessionHost::DestroyAllChildSessions();
}

TEST_F(MainFrameTest, ChildrenAreCascadedTwentyPixelsApart) {
    ShowAndPaint();
    Frame().move(100, 100);
    QCoreApplication::processEvents();
    const QPoint origin = Frame().View().MainHost()->mapToGlobal(QPoint(0, 0));
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(CSessionHost::AddChildSession()->pos(), origin + QPoint(20 * i, 20 * i));
    CSessionHost::DestroyAllChildSessions();
}

TEST_F(MainFrameTest, TheAboutBoxShowsTheVersionAndHidesPublishing) {
    {
        CAboutBox about(&Frame());
        EXPECT_EQ(qobject_cast<QLabel*>(ControlById(&about, 1026))->text(), "Brivox v1.42");
        const auto* link = dynamic_cast<CLinkStatic*>(ControlById(&about, 1046));
        ASSERT_NE(link, nullptr) << "the address is a link";
        EXPECT_EQ(link->text(), "https://www.dalmeno.example/");
        EXPECT_EQ(link->Url(), "https://www.dalmeno.example/");
        EXPECT_FALSE(ControlById(&about, 1011)->isVisibleTo(&about));
        EXPECT_EQ(about.windowTitle(), "About Brivox..");
    }
    test::WriteTestFile(DeveloperMarkerPath(), "");
    CAboutBox about(&Frame());
    EXPECT_TRUE(ControlById(&about, 1011)->isVisibleTo(&about));
    EXPECT_EQ(test::LayoutProblems(about), std::vector<std::string>{});
    {
        test::CMessageRecorder boxes;
        qobject_cast<QAbstractButton*>(ControlById(&about, 1011))->click();
        ASSERT_EQ(boxes.Requests().size(), 1u) << "the button publishes";
        EXPECT_EQ(boxes.Requests()[0].text, "Not a Real Release Mode");
    }
    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    EXPECT_TRUE(about.grab().save(BRIVOX_SCREENSHOT_DIR "/about.png"));
    unlink(DeveloperMarkerPath().c_str());
}

TEST_F(MainFrameTest, EveryModeLaysOutCleanlyAndIsPhotographed) {
    test::CRegisteredPty pty(1);
    ShowAndPaint();
    auto* combo = qobject_cast<QComboBox*>(MainForm().Control(idc::kPort));
    combo->setCurrentIndex(combo->findText("COM1 (", Qt::MatchStartsWith));
    qobject_cast<QAbstractButton*>(MainForm().Control(idc::kOpenClose))->click();
    QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    auto* mode = qobject_cast<QComboBox*>(MainForm().Control(idc::kMode));
    auto* test = qobject_cast<QAbstractButton*>(MainForm().Control(idc::kTestSend));
    for (int index = 0; index <= 7; ++index) {
        const bool testSend = index == 7; // the last picture: Test Send in Detail mode
        mode->setCurrentIndex(testSend ? 1 : index);
        emit mode->activated(mode->currentIndex());
        test->setChecked(testSend);
        emit test->clicked(testSend);
        QCoreApplication::processEvents();
        const QString file =
            QStringLiteral(BRIVOX_SCREENSHOT_DIR "/session-%1.png")
                .arg(testSend ? QStringLiteral("test-send") : QString::number(index));
        EXPECT_TRUE(Frame().grab().save(file)) << file.toStdString();
        EXPECT_EQ(test::LayoutProblems(MainForm()), std::vector<std::string>{}) << "mode " << index;
    }
}

} // namespace
} // namespace brivox
