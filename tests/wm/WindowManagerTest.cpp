// The main frame and child sessions as a window manager (openbox on Xvfb) sees them.
#include "XServerLane.h"
#include "app/AboutBox.h"
#include "app/BrivoxApp.h"
#include "app/MainFrame.h"
#include "app/SessionHost.h"
#include "options/GlobalOptions.h"
#include "platform/DialogBuilder.h"
#include "session/HistoryWindow.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"
#include "support/LayoutCheck.h"
#include "support/LocalOnly.h"
#include "support/PortTestSupport.h"
#include "support/QtApp.h"
#include "support/TempFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace brivox {
namespace {

using test::CommandOutput;
using test::WmGeometry;
using test::XProperty;

// Generous: a loaded 2-core machine can take seconds to map a window; waits end when met.
constexpr int kSettleMs = 30000;
constexpr int kStableMs = 700;

class WindowManagerTest : public testing::Test {
protected:
    WindowManagerTest() {
        test::ResetGlobalOptions();
        QDir().mkpath(BRIVOX_SCREENSHOT_DIR);
    }
    ~WindowManagerTest() override { CSessionHost::DestroyAllChildSessions(); }

    // A new frame, shown, mapped and fitted (or maximised) as the window manager sees it.
    CMainFrame& StartFrame() {
        m_frame = std::make_unique<CMainFrame>(StatePath());
        m_frame->ActivateFrame();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_frame.get(), kSettleMs));
        EXPECT_TRUE(WaitForStableGeometry(*m_frame));
        return *m_frame;
    }
    void CloseFrame() { m_frame.reset(); }

    unsigned long Id(const QWidget& window) const { return window.winId(); }
    std::string StatePath() const { return m_folder.Path("xyt_wnds_state.dat"); }
    bool Maximized(const QWidget& window) const {
        return XProperty(Id(window), "_NET_WM_STATE").find("MAXIMIZED_VERT") != std::string::npos;
    }
    void SetMaximized(const QWidget& window, bool on) {
        CommandOutput("wmctrl -i -r " + std::to_string(Id(window)) + " -b " +
                      (on ? "add" : "remove") + ",maximized_vert,maximized_horz");
        EXPECT_TRUE(QTest::qWaitFor([&] { return Maximized(window) == on; }, kSettleMs));
        EXPECT_TRUE(WaitForStableGeometry(window));
    }
    // The window manager's geometry has stopped changing for long enough that the program's
    // own settling (a fit, a snap back) is over too.
    bool WaitForStableGeometry(const QWidget& window) {
        test::CWmGeometry last = WmGeometry(Id(window));
        QElapsedTimer unchanged;
        unchanged.start();
        return QTest::qWaitFor(
            [&] {
                const test::CWmGeometry now = WmGeometry(Id(window));
                if (now.frame != last.frame || now.client != last.client)
                    unchanged.restart();
                last = now;
                return unchanged.elapsed() >= kStableMs && !now.frame.isEmpty();
            },
            kSettleMs);
    }
    static void Photograph(const char* name) {
        const QString file = QStringLiteral(BRIVOX_SCREENSHOT_DIR "/wm-%1.png").arg(name);
        EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(file))
            << file.toStdString();
    }

    test::CQtAppFirst m_app;
    test::CTempFolder m_folder;
    std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(WindowManagerTest, MaximiseWorksAndRestoreBringsBackTheFittedFrame) {
    CMainFrame& frame = StartFrame();
    const test::CWmGeometry normal = WmGeometry(Id(frame));
    EXPECT_NE(XProperty(Id(frame), "_NET_WM_ALLOWED_ACTIONS").find("MAXIMIZE_HORZ"),
              std::string::npos);
    Photograph("main");

    SetMaximized(frame, true);
    EXPECT_TRUE(frame.isMaximized());
    EXPECT_EQ(WmGeometry(Id(frame)).client.width(),
              QGuiApplication::primaryScreen()->size().width());

    SetMaximized(frame, false);
    EXPECT_EQ(WmGeometry(Id(frame)).frame, normal.frame);
    EXPECT_EQ(WmGeometry(Id(frame)).client, normal.client);
}

TEST_F(WindowManagerTest, TheStateFileKeepsTheNormalPlacementAcrossMaximisedRuns) {
    const QRect normal = WmGeometry(Id(StartFrame())).frame;
    const std::string expected =
        "max=1&x=" + std::to_string(normal.x()) + "&y=" + std::to_string(normal.y()) +
        "&cx=" + std::to_string(normal.width()) + "&cy=" + std::to_string(normal.height());
    SetMaximized(*m_frame, true);
    CloseFrame();
    EXPECT_EQ(test::ReadTestFile(StatePath()), expected);

    for (int run = 2; run <= 3; ++run) {
        EXPECT_TRUE(Maximized(StartFrame())) << "run " << run;
        CloseFrame();
        EXPECT_EQ(test::ReadTestFile(StatePath()), expected) << "run " << run;
    }

    CMainFrame& frame = StartFrame();
    SetMaximized(frame, false);
    EXPECT_EQ(WmGeometry(Id(frame)).frame, normal) << "restored where it was left, fitted";
}

TEST_F(WindowManagerTest, DraggingABorderLeavesTheFittedSize) {
    CMainFrame& frame = StartFrame();
    const test::CWmGeometry before = WmGeometry(Id(frame));
    const bool wmResizes =
        XProperty(Id(frame), "_NET_WM_ALLOWED_ACTIONS").find("_NET_WM_ACTION_RESIZE") !=
        std::string::npos;
    // The bottom border, halfway along, dragged down while the program answers the window
    // manager (it may wait for the program during a resize).
    const std::string x = std::to_string(before.frame.center().x());
    const std::string y = std::to_string(before.frame.bottom() - 1);
    QProcess drag;
    drag.start("xdotool",
               QString::fromStdString(
                   "mousemove " + x + " " + y + " mousedown 1 sleep 0.2 mousemove " + x + " " +
                   std::to_string(before.frame.bottom() + 40) + " sleep 0.2 mousemove " + x + " " +
                   std::to_string(before.frame.bottom() + 80) + " sleep 0.5")
                   .split(' '));
    QRect during = before.client;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (const QRect now = WmGeometry(Id(frame)).client; now != before.client)
                during = now;
            return drag.state() == QProcess::NotRunning;
        },
        kSettleMs));
    CommandOutput("xdotool mouseup 1");
    if (wmResizes) {
        EXPECT_NE(during, before.client) << "the drag did not reach the border";
    }
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return WmGeometry(Id(frame)).client == before.client; }, kSettleMs));
    EXPECT_TRUE(WaitForStableGeometry(frame));
    EXPECT_EQ(WmGeometry(Id(frame)).frame, before.frame);
}

TEST_F(WindowManagerTest, ChildFramesCascadeFromTheMainSessionWithEmptyCaptions) {
    CMainFrame& frame = StartFrame();
    const QWidget* mainHost = frame.View().MainHost();
    const QPoint origin =
        WmGeometry(Id(frame)).client.topLeft() + mainHost->mapTo(&frame, QPoint(0, 0));
    for (int i = 1; i <= 3; ++i) {
        CSessionHost* child = CSessionHost::AddChildSession();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(child, kSettleMs));
        ASSERT_TRUE(WaitForStableGeometry(*child));
        // The frame is corrected once the window manager has told its borders: on a loaded
        // machine that can come after the geometry looked stable.
        const QPoint expected = origin + QPoint(20 * i, 20 * i);
        const bool placed = QTest::qWaitFor(
            [&] { return WmGeometry(Id(*child)).frame.topLeft() == expected; }, kSettleMs);
        const QPoint at = WmGeometry(Id(*child)).frame.topLeft();
        EXPECT_TRUE(placed) << "child " << i << " at " << at.x() << "," << at.y() << ", not "
                            << expected.x() << "," << expected.y();
        // Blank: an empty name would be shown as the window manager's "Unnamed Window".
        EXPECT_EQ(XProperty(Id(*child), "_NET_WM_NAME"), "_NET_WM_NAME(UTF8_STRING) = \" \"");
        EXPECT_EQ(XProperty(Id(*child), "WM_NAME"), "WM_NAME(STRING) = \" \"");
    }
    Photograph("children");
}

TEST_F(WindowManagerTest, TheFormInEveryModeAndTheAboutBoxLayOutCleanly) {
    CSessionForm& form = *StartFrame().View().MainHost()->Form();
    auto* mode = qobject_cast<QComboBox*>(form.Control(idc::kMode));
    for (int index = 0; index < mode->count(); ++index) {
        mode->setCurrentIndex(index);
        emit mode->activated(index);
        EXPECT_EQ(test::LayoutProblems(form), std::vector<std::string>{}) << "mode " << index;
    }
    CAboutBox about(m_frame.get());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about, kSettleMs));
    EXPECT_EQ(test::LayoutProblems(about), std::vector<std::string>{});
}

TEST_F(WindowManagerTest, AChildsPortMessageBelongsToItsWindowAndShowsItsCaption) {
    test::CRegisteredPty working(3);
    test::CRegisteredPty removed(5);
    StartFrame();
    CSessionHost* child = CSessionHost::AddChildSession();
    ASSERT_TRUE(WaitForStableGeometry(*child));
    CSessionForm& form = *child->Form();
    auto* port = qobject_cast<QComboBox*>(form.Control(idc::kPort));
    auto choose = [port](int number) {
        port->setCurrentIndex(
            port->findText(QStringLiteral("COM%1 (").arg(number), Qt::MatchStartsWith));
        emit port->activated(port->currentIndex());
    };
    choose(3);
    qobject_cast<QAbstractButton*>(form.Control(idc::kOpenClose))->click();
    ASSERT_TRUE(form.IsPortOpen());
    removed.Pty().Close();

    std::string transientFor;
    int boxWidth = 0;
    QString caption;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !QTest::qWaitForWindowExposed(box, kSettleMs) ||
            !WaitForStableGeometry(*box))
            return;
        transientFor = XProperty(Id(*box), "WM_TRANSIENT_FOR");
        boxWidth = WmGeometry(Id(*box)).frame.width();
        caption = box->windowTitle();
        Photograph("port-message");
        box->accept();
    });
    choose(5);
    EXPECT_EQ(caption, "Port Cannot be Changed");
    char childId[32];
    std::snprintf(childId, sizeof childId, "0x%lx", Id(*child));
    EXPECT_NE(transientFor.find(childId), std::string::npos) << transientFor;
    // The title bar holds the caption, a margin and the window manager's buttons.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    EXPECT_GE(boxWidth, QFontMetrics(titleFont).horizontalAdvance(caption) + 100);
}

// The History window of the main session, the button that opens and closes it, as a user meets
// them under a window manager.
class HistoryUnderWindowManagerTest : public WindowManagerTest {
protected:
    // Counts the mouse releases that reach the program while it filters.
    struct CReleaseCounter : QObject {
        int releases = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            releases += event->type() == QEvent::MouseButtonRelease ? 1 : 0;
            return false;
        }
    };

    HistoryUnderWindowManagerTest() {
        for (const char* entry : {"41 42 <06>", "05 <06 00 10>"})
            m_brivox.HistoryList(1)->AddToHistory(entry);
    }

    // The main frame's frame at the point, its form in "Detail" mode.
    CSessionForm& StartInDetailMode(QPoint frameAt) {
        CSessionForm& form = *StartFrame().View().MainHost()->Form();
        MoveFrameTo(m_frame.get(), frameAt);
        EXPECT_TRUE(FrameReaches(*m_frame, frameAt));
        EXPECT_TRUE(WaitForStableGeometry(*m_frame));
        auto* mode = qobject_cast<QComboBox*>(form.Control(idc::kMode));
        mode->setCurrentIndex(1);
        emit mode->activated(1);
        m_button = form.Control(idc::kHistory);
        return form;
    }
    bool FrameReaches(const QWidget& window, QPoint at) {
        return QTest::qWaitFor([&] { return WmGeometry(Id(window)).frame.topLeft() == at; },
                               kSettleMs);
    }
    QPoint Corner(const QWidget& window) { return WmGeometry(Id(window)).frame.topLeft(); }
    QPoint Button() { return m_button->mapToGlobal(QPoint(0, 0)); }
    // A real click on "History ..", through the X server and the window manager, held as long
    // as a hand holds it; returns once the release has reached the program.
    void ClickTheButton() {
        const QPoint at = m_button->mapToGlobal(m_button->rect().center());
        CReleaseCounter counter;
        qApp->installEventFilter(&counter);
        CommandOutput("xdotool mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) +
                      " mousedown 1 sleep 0.15 mouseup 1");
        EXPECT_TRUE(QTest::qWaitFor([&] { return counter.releases > 0; }, kSettleMs));
        qApp->removeEventFilter(&counter);
        QCoreApplication::processEvents();
    }
    // Opened by the button and settled where it stays: active, its frame still.
    CHistoryWindow* OpenHistory() {
        ClickTheButton();
        if (!QTest::qWaitFor([&] { return m_brivox.HistoryWindow() != nullptr; }, kSettleMs))
            return nullptr;
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_brivox.HistoryWindow(), kSettleMs));
        EXPECT_TRUE(WaitForStableGeometry(*m_brivox.HistoryWindow()));
        return m_brivox.HistoryWindow();
    }
    // The caption of the question a button of the window asks, as the window manager reads it.
    std::string QuestionCaption(CHistoryWindow& window, int buttonId) {
        std::string caption;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !QTest::qWaitForWindowExposed(box, kSettleMs))
                return;
            caption = XProperty(Id(*box), "_NET_WM_NAME");
            box->button(QMessageBox::No)->click();
        });
        qobject_cast<QAbstractButton*>(ControlById(&window, buttonId))->click();
        return caption;
    }

    CBrivoxApp m_brivox;
    QWidget* m_button = nullptr;
};

TEST_F(HistoryUnderWindowManagerTest, ItsFrameStandsLeftOfTheButtonAndInsideTheScreen) {
    StartInDetailMode(QPoint(500, 120));
    CHistoryWindow* window = OpenHistory();
    ASSERT_NE(window, nullptr);
    const int width = WmGeometry(Id(*window)).frame.width();
    EXPECT_TRUE(FrameReaches(*window, Button() - QPoint(10 + width, 0)))
        << Corner(*window).x() << "," << Corner(*window).y();
    ClickTheButton();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_brivox.IsHistoryWindowAround(); }, kSettleMs));
    EXPECT_EQ(m_brivox.HistoryWindow(), nullptr) << "the click closed it and opened none";

    // At the screen's left edge there is no room left of the button: shifted just inside.
    MoveFrameTo(m_frame.get(), QPoint(0, 120));
    ASSERT_TRUE(FrameReaches(*m_frame, QPoint(0, 120)));
    ASSERT_TRUE(WaitForStableGeometry(*m_frame));
    window = OpenHistory();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(FrameReaches(*window, QPoint(0, Button().y()))) << Corner(*window).x();
    Photograph("history-at-screen-edge");
}

TEST_F(HistoryUnderWindowManagerTest, BothDeleteQuestionsHaveEmptyCaptions) {
    StartInDetailMode(QPoint(500, 120));
    CHistoryWindow* window = OpenHistory();
    ASSERT_NE(window, nullptr);
    qobject_cast<QListWidget*>(ControlById(window, 1059))->setCurrentRow(0);
    const std::string blank = "_NET_WM_NAME(UTF8_STRING) = \" \"";
    EXPECT_EQ(QuestionCaption(*window, 1013), blank) << "Delete selected item ?";
    EXPECT_EQ(QuestionCaption(*window, 1015), blank) << "Delete all items ?";
    EXPECT_EQ(m_brivox.HistoryList(1)->Count(), 2) << "both answered No";
}

} // namespace
} // namespace brivox
