#include "app/WindowState.h"

#include "support/TempFolder.h"
#include "support/TraceCapture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {
namespace {

constexpr CScreenSize kScreen{1024, 768};

struct Placement {
    int x, y, cx, cy;
    bool maximized;
    bool operator==(const Placement&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Placement& p) {
    return out << "(" << p.x << ", " << p.y << ") " << p.cx << "x" << p.cy
               << (p.maximized ? " max" : "");
}

Placement LoadText(const char* text, bool hasMaximizeBox = true, int minW = 0, int minH = 0) {
    test::CTempFolder folder;
    const std::string path = folder.Path("xyt_wnds_state.dat");
    if (text != nullptr)
        test::WriteTestFile(path, text);
    CFrameCreateRecord record;
    record.hasMaximizeBox = hasMaximizeBox;
    bool maximized = true;
    LoadWindowState(path, record, maximized, minW, minH, kScreen);
    return {record.x, record.y, record.cx, record.cy, maximized};
}

TEST(WindowStateLoad, ClampsToTheScreenOrFallsBackToDefaults) {
    const Placement defaults{128, 96, 768, 576, false};
    const struct {
        const char* text;
        Placement expected;
    } cases[] = {
        {nullptr, defaults},
        {"", defaults},
        {"max=0&x=160&y=120&cx=613&cy=474", {160, 120, 613, 474, false}},
        {"max=1&x=-50&y=20&cx=10&cy=10", {0, 20, 256, 192, true}},
        {"x=5000&y=5000&cx=800&cy=600&max=0", {768, 576, 800, 600, false}},
        {"x=10&y=10&cx=300&cy=300", defaults},                 // no "max"
        {"max=1&x=10&y=10&cx=300", {128, 96, 768, 576, true}}, // "cy" missing
        {" max = 0 & x = 7 &y=8&cx=2000&cy=3000", {7, 8, 2000, 3000, false}},
        {"max=0&x=abc&y=&cx=300&cy=300", {0, 0, 300, 300, false}},      // non-numbers read as 0
        {"max=0&x=1=2&y=5&cx=300&cy=300", defaults},                    // "x" ignored: two "="
        {"max=0&x=1&y=5&cx=300&cy=300&x=40", {40, 5, 300, 300, false}}, // later pair wins
        {"max=2&x=1&y=5&cx=300&cy=300", {1, 5, 300, 300, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadText(c.text), c.expected) << (c.text ? c.text : "(no file)");
}

TEST(WindowStateLoad, MaximisedOnlyWithAMaximiseBoxAndMinimumsApply) {
    EXPECT_FALSE(LoadText("max=1&x=1&y=1&cx=500&cy=500", false).maximized);
    EXPECT_EQ(LoadText("max=0&x=1000&y=1&cx=50&cy=50", true, 100, 80),
              (Placement{924, 1, 100, 80, false}));
}

TEST(WindowStateRecord, KeepsTheNormalPlacementWhileMaximisedOrMinimised) {
    std::string text;
    RecordWindowState({true, false, false, 160, 120, 773, 594}, text);
    EXPECT_EQ(text, "max=0&x=160&y=120&cx=613&cy=474");

    RecordWindowState({true, true, false, 0, 0, 160, 30}, text);
    EXPECT_EQ(text, "max=0&x=160&y=120&cx=613&cy=474") << "minimised: unchanged";
    RecordWindowState({false, false, false, 1, 1, 2, 2}, text);
    EXPECT_EQ(text, "max=0&x=160&y=120&cx=613&cy=474") << "no window: unchanged";

    RecordWindowState({true, false, true, -8, -8, 1032, 776}, text);
    EXPECT_EQ(text, "max=1&x=160&y=120&cx=613&cy=474");

    RecordWindowState({true, false, false, 10, 20, 110, 220}, text);
    EXPECT_EQ(text, "max=0&x=10&y=20&cx=100&cy=200");
}

TEST(WindowStateRecord, KeepsUnknownKeysAndRoundTripsThroughTheFile) {
    std::string text = "zoom=3";
    RecordWindowState({true, false, true, 0, 0, 10, 10}, text);
    EXPECT_EQ(text, "zoom=3&max=1");

    test::CTempFolder folder;
    const std::string path = folder.Path("deep/er/xyt_wnds_state.dat");
    text = "max=1&x=-50&y=20&cx=10&cy=10";
    WriteWindowState(path, text);
    EXPECT_EQ(test::ReadTestFile(path), text) << "no line ending, nothing else";
}

TEST(WindowStateWrite, FailuresGoToTheTraceOnly) {
    test::CTempFolder folder;
    const test::CTraceCapture trace;
    test::WriteTestFile(folder.Path("file"), "x");
    WriteWindowState(folder.Path("file/sub/state.dat"), "max=0");
    mkdir(folder.Path("state.dat").c_str(), 0700); // a folder where the file should go
    WriteWindowState(folder.Path("state.dat"), "max=0");
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"J92", "J22"}));
}

} // namespace
} // namespace brivox
