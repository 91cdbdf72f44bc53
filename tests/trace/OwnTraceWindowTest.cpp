#include "trace/OwnTraceWindow.h"

#include "brivox-trace/TraceViewer.h"
#include "platform/Paths.h"
#include "platform/RichEdit.h"
#include "support/ChildProcess.h"
#include "support/PaneLines.h"
#include "support/QtApp.h"
#include "support/TraceCapture.h"
#include "trace/TraceSocket.h"
#include "trace/XTraceWindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
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

TEST_F(OwnTraceWindowTest, AStaleSocketFileDoesNotStopTheOwnWindow) {
    const int stale = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", m_socket.c_str());
    MakeSurePathExists(FolderOf(m_socket));
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale); // its process died without removing it

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

TEST(TraceViewerTest, OptionsAndEndingWithItsWindow) {
    using namespace traceviewer;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""}, {{"-v"}, ""}, {{"--help"}, ""}, {{"extra"}, "unexpected argument extra"}};
    for (const auto& [args, error] : cases) {
        CTraceViewerOptions options;
        EXPECT_EQ(ParseTraceViewerOptions(args, options), error);
    }
    CTraceViewerOptions options;
    ParseTraceViewerOptions({"-v", "--help"}, options);
    EXPECT_TRUE(options.verbose && options.help);

    test::QtApp();
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    std::ostringstream out;
    std::ostringstream err;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<CXTraceWindow*>(widget))
                QObject::connect(window, &CXTraceWindow::CommandReceived,
                                 [&] { EXPECT_EQ(write(stop[1], "x", 1), 1); });
        }
        SendTraceDatagram(TraceWindowSocketPath(), "xta1:seen");
    });
    EXPECT_EQ(RunTraceViewer({true, false}, stop[0], out, err), 0);
    EXPECT_EQ(out.str(), "listening at " + TraceWindowSocketPath() + "\nxta1:seen\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_FALSE(PathExists(TraceWindowSocketPath()));
    close(stop[0]);
    close(stop[1]);
}

} // namespace
} // namespace brivox
