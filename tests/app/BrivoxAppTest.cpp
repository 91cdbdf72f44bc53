// The history lists are loaded when the application starts and saved when it ends.
#include "app/BrivoxApp.h"

#include "support/QtApp.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

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
