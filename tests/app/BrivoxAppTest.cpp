#include "app/BrivoxApp.h"

#include "app/BrivoxView.h"
#include "app/MainFrame.h"
#include "app/SessionHost.h"
#include "platform/RichEdit.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"
#include "support/PaneLines.h"
#include "support/PortTestSupport.h"
#include "support/QtApp.h"
#include "support/TempFolder.h"
#include "support/TraceCapture.h"
#include "trace/XTraceWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <gtest/gtest.h>

namespace brivox {
namespace {

CXTraceWindow* TraceWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<CXTraceWindow*>(widget))
            return window;
    return nullptr;
}

TEST(BrivoxAppTest, ADevelopersFirstWindowLineOpensTheTraceWindowWhichGoesAtExit) {
    test::QtApp();
    const test::CTraceCapture trace;
    const test::CRegisteredPty pty(1);
    CBrivoxApp app;
    ASSERT_TRUE(app.InitInstance());
    CSessionForm& form = *app.MainFrame()->View().MainHost()->Form();
    auto* port = qobject_cast<QComboBox*>(form.Control(idc::kPort));
    port->setCurrentIndex(port->findText("COM1 (", Qt::MatchStartsWith));
    EXPECT_EQ(TraceWindow(), nullptr);
    qobject_cast<QAbstractButton*>(form.Control(idc::kOpenClose))->click();
    ASSERT_NE(TraceWindow(), nullptr);
    EXPECT_EQ(test::PaneLines(TraceWindow()->PaneA()), QStringList{"trying to open port 1"});
    app.ExitInstance();
    EXPECT_EQ(TraceWindow(), nullptr);
}

TEST(BrivoxAppTest, HistoryListsLoadAtStartAndSaveAtExit) {
    test::QtApp();
    test::CTempFolder folder;
    const std::string saved = std::getenv("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", folder.Root().c_str(), 1);
    CHistoryList written(1);
    written.AddToHistory("41 42");
    ASSERT_TRUE(written.SaveHistory());
    {
        CBrivoxApp app;
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(app.HistoryList(1)->Entries(), written.Entries());
        app.HistoryList(9)->AddToHistory("kept");
        app.ExitInstance();
    }
    CHistoryList list(9);
    ASSERT_TRUE(list.LoadHistory());
    EXPECT_EQ(list.Entries(), std::vector<std::string>{"kept"});
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

} // namespace
} // namespace brivox
