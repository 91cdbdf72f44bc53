#include "banner/NoticeScript.h"

#include "banner/DefaultBannerScript.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

TEST(NoticeScript, ItemsFollowTheScriptRules) {
    const struct {
        const char* script;
        int count; // -1: not a script
        const char* firstText;
        int firstSeconds;
    } cases[] = {
        {"gntiscript:<b>New</b> firmware|http://a/|30", 1, "New firmware", 30},
        {"gntiscript:before<unclosed tag|x|5", 1, "before", 5},
        {"gntiscript:a > b|x|5", 1, "a > b", 5},
        {"gntiscript:A|x|abc", 1, "A", 60},
        {"gntiscript:A|x|0", 1, "A", 60},
        {"gntiscript:A|x| 15x", 1, "A", 15},
        {"gntiscript:A|x|-5", 1, "A", -5},
        {"gntiscript:", 0, nullptr, 0},
        {"gntiscript:A|x|10___", 2, "A", 10},
        {"gntiscript:___", 2, "", 60},
        {"GNTISCRIPT:A|x|10", -1, nullptr, 0},
        {"A|x|10", -1, nullptr, 0},
    };
    for (const auto& c : cases) {
        const std::optional<CNoticeItems> items = ParseNoticeScript(c.script);
        if (c.count < 0) {
            EXPECT_FALSE(items) << c.script;
            continue;
        }
        ASSERT_TRUE(items) << c.script;
        ASSERT_EQ(static_cast<int>(items->size()), c.count) << c.script;
        if (c.count == 0)
            continue;
        EXPECT_EQ((*items)[0]->text, c.firstText) << c.script;
        EXPECT_EQ((*items)[0]->seconds, c.firstSeconds) << c.script;
        EXPECT_EQ((*items)[0]->index, 0);
    }
    const CNoticeItems trailing = *ParseNoticeScript("gntiscript:A|x|10___");
    EXPECT_EQ(trailing[1]->text, "");
    EXPECT_EQ(trailing[1]->seconds, 60);
    EXPECT_EQ(trailing[1]->index, 1);
}

TEST(NoticeScript, FieldsAndTheDefaultScript) {
    const CNoticeItems items = *ParseNoticeScript("gntiscript:T|L|20|ID7|http://r/|6|7|8|9|10|11");
    EXPECT_EQ(items[0]->link, "L");
    EXPECT_EQ(items[0]->itemId, "ID7");
    EXPECT_EQ(items[0]->reportUrl, "http://r/");
    const CNoticeItems english = *ParseNoticeScript(DefaultBannerScript("eng"));
    ASSERT_EQ(english.size(), 2u);
    EXPECT_EQ(english[0]->text, "Dalmeno Technology");
    EXPECT_EQ(english[1]->text, kMakerHost);
    EXPECT_EQ(english[1]->link, kMakerHomePage);
    EXPECT_EQ(english[1]->seconds, 180);
}

TEST(NoticeScript, TheCycleRunsFromMidnightWithInclusiveBoundaries) {
    const CNoticeItems items = *ParseNoticeScript("gntiscript:A||10___B||20");
    const struct {
        long seconds;
        const char* shown;
    } cases[] = {{0, "A"},  {10, "A"}, {11, "B"}, {29, "B"},
                 {30, "A"}, {40, "A"}, {41, "B"}, {86399, "B"}};
    for (const auto& c : cases)
        EXPECT_EQ(PickNotice(items, c.seconds)->text, c.shown) << c.seconds;
    EXPECT_EQ(PickNotice(CNoticeItems{}, 5), nullptr);
    EXPECT_EQ(PickNotice(*ParseNoticeScript("gntiscript:A||-60___B||60"), 5), nullptr)
        << "a cycle of 0 s";
}

TEST(NoticeScript, TheBarKnowsWhenItsItemChanges) {
    const CNoticeItems items = *ParseNoticeScript("gntiscript:A||10___B||20");
    const CNoticeItems one = *ParseNoticeScript("gntiscript:A||10");
    const struct {
        const CNoticeItems& items;
        long seconds;
        long limit;
        long until;
    } cases[] = {{items, 0, 60, 11},    {items, 10, 60, 1}, {items, 11, 60, 19},
                 {items, 29, 60, 1},    {items, 29, 1, 1},  {items, 11, 5, 5},
                 {items, 86399, 60, 1}, {one, 100, 60, 60}, {items, 86395, 60, 5}};
    for (const auto& c : cases)
        EXPECT_EQ(SecondsUntilNoticeChanges(c.items, c.seconds, c.limit), c.until)
            << c.seconds << " " << c.limit;
}

TEST(NoticeScript, TheRequestGateOpensOnceADay) {
    std::tm base{};
    base.tm_year = 2026 - 1900;
    base.tm_mon = 11;
    base.tm_mday = 7;
    base.tm_hour = 12;
    base.tm_isdst = -1;
    const std::time_t now = std::mktime(&base);
    auto hoursAgo = [&](int hours) {
        const std::time_t then = now - hours * 3600L;
        std::tm local{};
        localtime_r(&then, &local);
        return RequestTimeText(local);
    };
    EXPECT_EQ(hoursAgo(0), "20261207120000");
    const struct {
        std::string stored;
        bool marker;
        bool due;
    } cases[] = {
        {"", false, true},
        {hoursAgo(23), false, false},
        {hoursAgo(24), false, true},
        {hoursAgo(-5), false, false},
        {hoursAgo(1), true, true},
        {"2026120712", false, true},
        {"2026120712000x", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScriptRequestDue(c.stored, now, c.marker), c.due) << c.stored << " " << c.marker;
}

TEST(NoticeScript, RequestAndReportAddresses) {
    EXPECT_EQ(
        ScriptRequestUrl("https://www.dalmeno.example/banner/brivox/gntitem/get_gntiscript.php",
                         "brivox_main", "eng", 142),
        "https://www.dalmeno.example/banner/brivox/gntitem/get_gntiscript.php"
        "?ntbid=brivox_main&ntlang=eng&efversion=142");
    CNoticeItem item;
    item.reportUrl = "http://127.0.0.1/r";
    item.itemId = "n7";
    item.index = 2;
    EXPECT_EQ(ClickReportUrl(item, "brivox_main", "kor", 142),
              "http://127.0.0.1/r?ntid=n7&ntbid=brivox_main&ntiindex=2&ntlang=kor&efversion=142");
}

} // namespace
} // namespace brivox
