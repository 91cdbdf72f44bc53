#include "trace/OwnTraceWindow.h"

#include "platform/Paths.h"
#include "platform/RichEdit.h"
#include "support/ChildProcess.h"
#include "support/PaneLines.h"
#include "support/QtApp.h"
#include "support/TraceCapture.h"
#include "trace/TraceSocket.h"
#include "trace/XTraceWindow.h"

#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace brivox {
namespace {

using test::PaneLines;

class OwnTraceWindowTest : public testing::Test {
protected:
    bool PaneAShows(const QStringList& lines) {
        return QTest::qWaitFor([&] {
            return m_own.Window() != nullptr && PaneLines(m_own.Window()->PaneA()) == lines;
        });
    }

    test::CQtAppFirst m_app;
    test::CTraceCapture m_trace; // opens the trace gate
    COwnTraceWindow m_own;
    std::string m_socket = TraceWindowSocketPath();
};

TEST_F(OwnTraceWindowTest, MadeAtTheFirstLineShowingLinesOnlyWhileVisible) {
    EXPECT_EQ(m_own.Window(), nullptr) << "not made until needed";
    TraceToWindow("trying to open port 3", false);
    CXTraceWindow* window = m_own.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "ZovivEZazod");
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(window->size(), QSize(200, 700));
    EXPECT_EQ(window->ChannelError(), "");
    EXPECT_TRUE(TraceSocketListening(m_socket));
    EXPECT_EQ(PaneLines(window->PaneA()), QStringList{"trying to open port 3"});

    window->hide();
    TraceToWindow("while hidden", false);
    window->show();
    TraceToWindow("stamped", true);
    ASSERT_EQ(PaneLines(window->PaneA()).size(), 2);
    EXPECT_TRUE(PaneLines(window->PaneA())[1].endsWith(" stamped"));

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(m_own.Window(), nullptr);
    EXPECT_FALSE(PathExists(m_socket)) << "the socket file goes with the window";
    TraceToWindow("after it closed", false);
    EXPECT_EQ(m_own.Window(), nullptr) << "the search is made once per process";
}

TEST_F(OwnTraceWindowTest, ARectangleLargerThanTheScreenIsFittedWhenTheWindowIsMade) {
    SetOwnTraceWindowRect({-5000, 0, 32767, 32767});
    TraceToWindow("fitted", false);
    SetOwnTraceWindowRect({0, 0, 200, 700});
    ASSERT_NE(m_own.Window(), nullptr);
    const QRect screen = m_own.Window()->screen()->availableGeometry();
    const QRect window = m_own.Window()->geometry(); // its frame is not known before it is shown
    EXPECT_LE(window.width(), screen.width());
    EXPECT_LE(window.height(), screen.height());
    EXPECT_TRUE(screen.contains(window.topLeft()));
}

TEST_F(OwnTraceWindowTest, AStaleSocketFileDoesNotStopTheOwnWindow) {
    {
        CTraceSocket crashed;
        ASSERT_EQ(crashed.Bind(m_socket), "");
        ASSERT_EQ(link(m_socket.c_str(), (m_socket + ".kept").c_str()), 0);
    } // its process died without removing the file
    ASSERT_EQ(rename((m_socket + ".kept").c_str(), m_socket.c_str()), 0);

    TraceToWindow("after a crash", false);
    ASSERT_NE(m_own.Window(), nullptr);
    EXPECT_EQ(m_own.Window()->ChannelError(), "") << "the stale file is taken over";
    EXPECT_TRUE(PaneAShows({"after a crash"}));
}

TEST_F(OwnTraceWindowTest, AFirstLineFromAWorkerThreadMakesTheWindowOnTheUiThread) {
    std::thread worker([] {
        TraceToWindow("from a worker", false);
        TraceToWindow("second from a worker", false);
    });
    worker.join();
    EXPECT_TRUE(PaneAShows({"from a worker", "second from a worker"}));
}

TEST_F(OwnTraceWindowTest, TheSecondProcessFindsTheFirstsWindow) {
    test::CChildProcess first(BRIVOX_TRACE, {"-v"});
    ASSERT_EQ(first.ReadLine(), "listening at " + m_socket);

    test::CChildProcess refused(BRIVOX_TRACE, {}, true);
    EXPECT_EQ(refused.Wait(), 1);
    EXPECT_TRUE(refused.Rest().ends_with("brivox-trace: another trace window listens at " +
                                         m_socket + "\n"));

    TraceToWindow("from the second process", false);
    TraceToWindow("stamped there", true);
    EXPECT_EQ(m_own.Window(), nullptr) << "no window of its own while another listens";
    EXPECT_EQ(first.ReadLine(), "xta1:from the second process");
    EXPECT_EQ(first.ReadLine(), "xta1t:stamped there");

    EXPECT_EQ(first.Stop(), 0) << "a stop signal closes the window and ends the program";
    EXPECT_FALSE(PathExists(m_socket));
}

} // namespace
} // namespace brivox
