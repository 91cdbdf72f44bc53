#include "trace/TraceCommand.h"

#include "trace/TracePaneText.h"
#include "trace/TraceVariables.h"
#include "trace/TraceWindowLayout.h"

#include <climits>
#include <gtest/gtest.h>

namespace brivox {
namespace {

using Kind = TraceCommandKind;

struct CommandCase {
    std::string payload;
    Kind kind;
    std::string name;
    std::string text;
    CTraceRect rect;
};

TEST(TraceCommandTest, PrefixesInTheirOrderAndWhatFollowsThem) {
    const CommandCase cases[] = {
        {"xts:speed=9600", Kind::SetVariable, "speed", "9600", {}},
        {"xts:a=b=c", Kind::SetVariable, "a", "b=c", {}},
        {"xts:=empty name", Kind::SetVariable, "", "empty name", {}},
        {"xts:novalue", Kind::None, "", "", {}},
        {"xtd:speed", Kind::RemoveVariable, "speed", "", {}},
        {"xta1:trying to open port 3", Kind::AppendA, "", "trying to open port 3", {}},
        {"xtc", Kind::Clear, "", "", {}},
        {"xtcanything", Kind::Clear, "", "", {}},
        {"xta2:", Kind::AppendB, "", "", {}},
        {"xta1t:stamped", Kind::AppendAStamped, "", "stamped", {}},
        {"xta2t:stamped b", Kind::AppendBStamped, "", "stamped b", {}},
        {"xtrect:10,20,410,620", Kind::Rect, "", "", {10, 20, 410, 620}},
        {"xtrect:5", Kind::Rect, "", "", {5, 0, 0, 0}},
        {"xtrect:x,,-3,7px,99", Kind::Rect, "", "", {0, 0, -3, 7}},
        {"xtrect: +8,99999999999,-99999999999", Kind::Rect, "", "", {8, INT_MAX, INT_MIN, 0}},
        {std::string("xta1:before\0after", 17), Kind::AppendA, "", "before", {}},
        {std::string("xtd:\0xtc", 8), Kind::RemoveVariable, "", "", {}},
        {"XTA1:upper case", Kind::None, "", "", {}},
        {"xta3:unknown", Kind::None, "", "", {}},
        {" xta1:leading space", Kind::None, "", "", {}},
        {"", Kind::None, "", "", {}},
    };
    for (const CommandCase& c : cases) {
        const CTraceCommand command = ParseTraceCommand(c.payload);
        EXPECT_EQ(command.kind, c.kind) << c.payload;
        EXPECT_EQ(command.name, c.name) << c.payload;
        EXPECT_EQ(command.text, c.text) << c.payload;
        EXPECT_EQ(command.rect, c.rect) << c.payload;
    }
}

struct LayoutCase {
    int width;
    int height;
    std::array<CTraceRect, 3> variablePanes;
    CTraceRect paneA;
    CTraceRect paneB;
};

TEST(TraceWindowLayoutTest, WideAreasPutPanesSideBySideTallOnesStackThem) {
    const LayoutCase cases[] = {
        {800,
         600,
         {{{1, 18, 319, 200}, {1, 200, 319, 400}, {1, 399, 319, 599}}},
         {321, 0, 559, 600},
         {561, 1, 799, 599}},
        {200,
         700,
         {{{1, 18, 199, 93}, {1, 93, 199, 187}, {1, 186, 199, 279}}},
         {1, 280, 199, 490},
         {1, 491, 199, 699}},
        {300,
         300,
         {{{1, 18, 299, 40}, {1, 40, 299, 80}, {1, 79, 299, 119}}},
         {1, 120, 299, 210},
         {1, 211, 299, 299}}, // a square area counts as tall
    };
    for (const LayoutCase& c : cases) {
        const CTraceWindowLayout layout = LayOutTraceWindow(c.width, c.height);
        EXPECT_EQ(layout.displayLog, (CTraceRect{0, 2, 200, 15}));
        EXPECT_EQ(layout.variablePanes, c.variablePanes) << c.width << " x " << c.height;
        EXPECT_EQ(layout.paneA, c.paneA) << c.width << " x " << c.height;
        EXPECT_EQ(layout.paneB, c.paneB) << c.width << " x " << c.height;
    }
}

TEST(TraceVariablesTest, GroupedBySignedByteSumAndRedrawnOnlyWhenChanged) {
    const std::pair<std::string, int> panes[] = {{"c", 0},        {"a", 1},  {"b", 2}, {"\xff", 2},
                                                 {"\x80\x80", 2}, {"ab", 0}, {"", 0}};
    for (const auto& [name, pane] : panes)
        EXPECT_EQ(VariablePane(name), pane) << name;

    using Texts = CTraceVariables::PaneTexts;
    CTraceVariables variables;
    const int speed = VariablePane("speed");
    ASSERT_EQ(speed, 1); // 115 + 112 + 101 + 101 + 100 = 529
    variables.Set("speed", "9600");
    variables.Set("speed", "19200");
    Texts expected;
    expected[speed] = "speed=19200";
    EXPECT_EQ(variables.TakeChangedPanes(), expected);

    EXPECT_EQ(variables.TakeChangedPanes(), Texts{}) << "nothing changed since the last tick";
    variables.Set("speed", "19200");
    variables.Remove("absent");
    EXPECT_EQ(variables.TakeChangedPanes(), Texts{}) << "the same value changes nothing";

    variables.Set("c", "1");
    variables.Set("ab", "2");
    variables.Remove("speed");
    expected = {};
    expected[0] = "ab=2,  c=1";
    expected[speed] = "";
    EXPECT_EQ(variables.TakeChangedPanes(), expected) << "a removed variable goes at the next tick";
}

TEST(TracePaneTextTest, LinesLimitsAndTheCut) {
    std::tm time{};
    time.tm_hour = 9;
    time.tm_min = 5;
    time.tm_sec = 3;
    EXPECT_EQ(FormatTracePaneLine("line", &time, 3), "   09:05:03 line\n");
    EXPECT_EQ(FormatTracePaneLine("line", nullptr, 0), "line\n");

    EXPECT_EQ(TracePaneRoom(0), 1'048'576u);
    EXPECT_EQ(TracePaneRoom(1'048'570), 6u);
    EXPECT_EQ(TracePaneRoom(2'000'000), 0u);
    EXPECT_EQ(TracePaneCut(819'200), 0u);
    EXPECT_EQ(TracePaneCut(819'201), 819'201u - 10'240u);
}

} // namespace
} // namespace brivox
