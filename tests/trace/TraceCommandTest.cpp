#include "trace/TraceCommand.h"

#include "trace/TracePaneText.h"
#include "trace/TraceVariables.h"
#include "trace/TraceWindowLayout.h"

#include <climits>
#include <gtest/gtest.h>

namespace brivox {
namespace {

using Kind = TraceCommandKind;

TEST(TraceCommandTest, PrefixesInTheirOrderAndWhatFollowsThem) {
    const struct {
        std::string payload;
        Kind kind;
        std::string name, text;
        CTraceRect rect;
    } cases[] = {
        {"xts:speed=9600", Kind::SetVariable, "speed", "9600", {}},
        {"xts:a=b=c", Kind::SetVariable, "a", "b=c", {}},
        {"xts:novalue", Kind::None, "", "", {}},
        {"xtd:speed", Kind::RemoveVariable, "speed", "", {}},
        {"xta1:open port 3", Kind::AppendA, "", "open port 3", {}},
        {"xtcanything", Kind::Clear, "", "", {}},
        {"xta2:", Kind::AppendB, "", "", {}},
        {"xta1t:stamped", Kind::AppendAStamped, "", "stamped", {}},
        {"xta2t:b", Kind::AppendBStamped, "", "b", {}},
        {"xtrect:10,20,410,620", Kind::Rect, "", "", {10, 20, 410, 620}},
        {"xtrect:5", Kind::Rect, "", "", {5, 0, 0, 0}},
        {"xtrect:x,,-3,7px,99", Kind::Rect, "", "", {0, 0, -3, 7}},
        {"xtrect: +8,99999999999,-99999999999", Kind::Rect, "", "", {8, INT_MAX, INT_MIN, 0}},
        {std::string("xta1:before\0after", 17), Kind::AppendA, "", "before", {}},
        {"XTA1:upper case", Kind::None, "", "", {}},
        {" xta1:leading space", Kind::None, "", "", {}},
    };
    for (const auto& c : cases) {
        const CTraceCommand command = ParseTraceCommand(c.payload);
        EXPECT_EQ(command.kind, c.kind) << c.payload;
        EXPECT_EQ(command.name, c.name) << c.payload;
        EXPECT_EQ(command.text, c.text) << c.payload;
        EXPECT_EQ(command.rect, c.rect) << c.payload;
    }
}

TEST(TraceWindowLayoutTest, WideAreasPutPanesSideBySideTallOnesStackThem) {
    const struct {
        int width, height;
        std::array<CTraceRect, 3> variablePanes;
        CTraceRect paneA, paneB;
    } cases[] = {
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
    for (const auto& c : cases) {
        const CTraceWindowLayout layout = LayOutTraceWindow(c.width, c.height);
        EXPECT_EQ(layout.displayLog, (CTraceRect{0, 2, 200, 15}));
        EXPECT_EQ(layout.variablePanes, c.variablePanes) << c.width << " x " << c.height;
        EXPECT_EQ(layout.paneA, c.paneA) << c.width << " x " << c.height;
        EXPECT_EQ(layout.paneB, c.paneB) << c.width << " x " << c.height;
    }
}

TEST(TraceWindowLayoutTest, ARectangleIsFittedToTheScreensAreaOnlyWhereItMust) {
    constexpr CTraceRect screen = {0, 0, 800, 600};
    constexpr CTraceRect besidePanel = {100, 50, 1380, 1010};
    const struct {
        CTraceRect asked, area, fitted;
    } cases[] = {
        {{10, 20, 410, 620}, screen, {10, 20, 410, 620}}, // hanging over the bottom is no harm
        {{0, 0, 32767, 32767}, screen, {0, 0, 800, 600}},
        {{INT_MIN, 0, INT_MAX, 100}, screen, {0, 0, 800, 100}},
        {{-50000, -50000, -49000, -49000}, screen, {0, 0, 800, 600}},
        {{900, 700, 1000, 800}, screen, {700, 500, 800, 600}},  // wholly off: brought back
        {{790, 590, 1090, 890}, screen, {700, 500, 1000, 800}}, // 100 pixels left to take hold of
        {{795, 595, 805, 605}, screen, {790, 590, 800, 600}},   // a small one wholly on
        {{5, 0, 0, 0}, screen, {5, 0, 6, 1}},
        {{0, 0, 200, 700}, besidePanel, {100, 50, 300, 750}},
        {{10, 10, 20, 20}, {0, 0, 0, 0}, {0, 0, 1, 1}}, // no area at all still gives a pixel
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitTraceRect(c.asked, c.area), c.fitted)
            << c.asked.left << "," << c.asked.top << "," << c.asked.right << "," << c.asked.bottom;
}

TEST(TraceVariablesTest, GroupedBySignedByteSumAndRedrawnOnlyWhenChanged) {
    for (const auto& [name, pane] : {std::pair<std::string, int>{"c", 0},
                                     {"a", 1},
                                     {"b", 2},
                                     {"\xff", 2},
                                     {"\x80\x80", 2},
                                     {"speed", 1}})
        EXPECT_EQ(VariablePane(name), pane) << name;

    using Texts = CTraceVariables::PaneTexts;
    CTraceVariables variables;
    variables.Set("speed", "9600");
    variables.Set("speed", "19200");
    EXPECT_EQ(variables.TakeChangedPanes(), (Texts{std::nullopt, "speed=19200", std::nullopt}));
    variables.Set("speed", "19200");
    variables.Remove("absent");
    EXPECT_EQ(variables.TakeChangedPanes(), Texts{}) << "nothing changed since the last tick";

    variables.Set("c", "1");
    variables.Set("ab", "2");
    variables.Remove("speed");
    EXPECT_EQ(variables.TakeChangedPanes(), (Texts{"ab=2,  c=1", "", std::nullopt}))
        << "a removed variable goes at the next tick";
}

TEST(TraceVariablesTest, NamesAndValuesAreCutAtWholeCharactersAndNewOnesDroppedWhenFull) {
    using V = CTraceVariables;
    const std::string longName(V::kMaxNameBytes + 1, 'n');
    const std::string cutName = longName.substr(0, V::kMaxNameBytes);
    const std::string value = std::string(V::kMaxValueBytes - 1, 'v');
    const struct {
        std::string name, value;
        bool whole;
        std::string shown;
    } cases[] = {
        {"a", value + "w", true, "a=" + value + "w"},
        {"a", value + "wx", false, "a=" + value + "w"},
        {"a", value + "\xc3\xa9", false, "a=" + value}, // "é" would be split
        {longName, "1", false, cutName + "=1"},
        {cutName.substr(1) + "\xc3\xa9", "1", false, cutName.substr(1) + "=1"},
    };
    for (const auto& c : cases) {
        V variables;
        EXPECT_EQ(variables.Set(c.name, c.value), c.whole) << c.name.size() << " " << c.value;
        EXPECT_EQ(variables.PaneText(VariablePane(c.shown.substr(0, c.shown.find('=')))), c.shown);
        variables.Remove(c.name);
        EXPECT_EQ(variables.Count(), 0u) << "removed by the name it was set with";
    }

    V variables;
    for (size_t i = 0; i < V::kMaxVariables; ++i)
        ASSERT_TRUE(variables.Set("v" + std::to_string(i), "0"));
    EXPECT_FALSE(variables.Set("one too many", "0"));
    EXPECT_EQ(variables.Count(), V::kMaxVariables);
    EXPECT_TRUE(variables.Set("v0", "changed")) << "a variable already there can still change";
    variables.Remove("v1");
    EXPECT_TRUE(variables.Set("now there is room", "0"));
}

TEST(TracePaneTextTest, LinesAreCountedAtLineBreaks) {
    const struct {
        std::string text;
        size_t lines;
        std::string last, first;
    } cases[] = {
        {"a\nb\nc\n", 2, "b\nc\n", "a\nb"},
        {"a\nb\nc\n", 3, "a\nb\nc\n", "a\nb\nc"},
        {"a\nb\nc", 1, "c", "a"},
        {"a\nb\nc", 5, "a\nb\nc", "a\nb\nc"},
        {"\n\n\n", 2, "\n\n", "\n"},
        {"a\n", 1, "a\n", "a"},
        {"abc", 0, "", ""},
        {"", 1, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LastTraceLines(c.text, c.lines), c.last) << c.text << " " << c.lines;
        EXPECT_EQ(FirstTraceLines(c.text, c.lines), c.first) << c.text << " " << c.lines;
    }
    EXPECT_EQ(TracePaneLineCut(kTracePaneLineLimit), 0u);
    EXPECT_EQ(TracePaneLineCut(kTracePaneLineLimit + 1),
              kTracePaneLineLimit + 1 - kTraceKeptLinesAfterCut);
}

} // namespace
} // namespace brivox
