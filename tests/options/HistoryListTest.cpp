// The send-history lists: where a text goes, what drops out, and their files.
#include "options/HistoryList.h"

#include "platform/Paths.h"
#include "support/TempFolder.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace brivox {
namespace {

using Entries = std::vector<std::string>;

std::string CountRecord(uint32_t count) {
    std::string record("\x23\x03"
                       "Cnt");
    for (int shift = 0; shift < 32; shift += 8)
        record += static_cast<char>(count >> shift);
    return record;
}

std::string TextRecord(size_t index, const std::string& text) {
    const std::string name = std::to_string(index);
    return "\x08" + std::string(1, static_cast<char>(name.size())) + name +
           static_cast<char>(text.size()) + text;
}

// A list of index 3 read from a file that holds the entries, as a saved file would.
CHistoryList Loaded(const Entries& entries) {
    std::string file = CountRecord(static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i)
        file += TextRecord(i, entries[i]);
    CHistoryList list(3);
    MakeSurePathExists(SettingsFolder());
    test::WriteTestFile(list.FilePath(), file);
    EXPECT_TRUE(list.LoadHistory());
    return list;
}

Entries operator+(Entries front, const Entries& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

TEST(HistoryListTest, AddingATextByThePinnedEntryRule) {
    const Entries pins(99, "[mem]p");
    const struct {
        Entries before;
        std::string text;
        bool added;
        Entries after;
    } cases[] = {
        {{"41 42"}, "41 43", true, {"41 43", "41 42"}},
        {{"41 43", "41 42"}, "41 42", false, {"41 43", "41 42"}},
        {{"ab"}, "AB", true, {"AB", "ab"}},
        {{"[mem]41 42"}, "41 42", false, {"[mem]41 42"}},
        {{"[mem]A", "[mem]B", "C"}, "05", true, {"[mem]A", "[mem]B", "05", "C"}},
        {{"C", "[mem]A"}, "05", true, {"C", "[mem]A", "05"}},
        {Entries(100, "t"), "new", true, Entries{"new"} + Entries(99, "t")},
        {pins + Entries{"old"}, "new", true, pins + Entries{"new"}},
        {pins + Entries{"[mem]q"}, "new", false, pins + Entries{"[mem]q"}},
        {{"41"}, "", false, {"41"}},
    };
    for (const auto& c : cases) {
        CHistoryList list = Loaded(c.before);
        EXPECT_EQ(list.AddToHistory(c.text), c.added) << c.text;
        EXPECT_EQ(list.Entries(), c.after) << c.text;
    }
}

TEST(HistoryListTest, SavedListsLoadBackAsTheyWere) {
    CHistoryList list(7);
    EXPECT_EQ(list.FilePath(), SettingsFolder() + "/history7.asg");
    for (const std::string& text : {std::string(300, 'x'), std::string("\"\xED\x95\x9C\"")})
        list.AddToHistory(text);
    list.Pin(1);
    ASSERT_TRUE(list.SaveHistory());
    COptionStore file;
    ASSERT_TRUE(file.Load(list.FilePath(), false));
    EXPECT_EQ(file.GetEntries().size(), 3u);
    EXPECT_EQ(file.Find("Cnt")->kind, OptionKind::Int);
    CHistoryList loaded(7);
    ASSERT_TRUE(loaded.LoadHistory());
    EXPECT_EQ(loaded.Entries(), list.Entries());
}

std::string EntryRecords(const Entries& entries) {
    std::string records;
    for (size_t i = 0; i < entries.size(); ++i)
        records += TextRecord(i, entries[i]);
    return records;
}

// A count that disagrees with the entries present loads those entries and keeps the file beside
// at the first save; entries keep every byte.
TEST(HistoryListTest, DamagedFilesLoadWhatTheyHoldAndAreKeptBesideAtTheFirstSave) {
    const Entries three = {"a", "b", "c"};
    Entries thousand;
    for (int i = 0; i < 1000; ++i)
        thousand.push_back(std::to_string(i));
    const std::string withNul("A\0B", 3);
    const struct {
        std::string file; // none: no file
        bool loads;
        Entries entries;
        bool keptBeside;
    } cases[] = {
        {"", false, {}, false},
        {CountRecord(1) + TextRecord(0, "AB") + "\x22\x01x", false, {}, true},
        {CountRecord(3) + TextRecord(1, "AB"), true, {"AB"}, true},
        {TextRecord(0, "AB"), true, {"AB"}, true},
        {CountRecord(0xFFFFFFFF), true, {}, true},
        {CountRecord(0x7FFFFFFF), true, {}, true},
        {CountRecord(static_cast<uint32_t>(-5)) + EntryRecords(three), true, three, true},
        {"\x08\x03"
         "Cnt\x01"
         "3" +
             EntryRecords(three),
         true, three, true},
        {CountRecord(3) + EntryRecords(three) + TextRecord(7, "x"), true, three + Entries{"x"},
         true},
        {CountRecord(1000) + EntryRecords(thousand), true,
         Entries(thousand.begin(), thousand.begin() + 100), true},
        {CountRecord(2) + EntryRecords({withNul, "C"}), true, {withNul, "C"}, false},
        {CountRecord(3) + EntryRecords(three), true, three, false},
    };
    for (const auto& c : cases) {
        CHistoryList list(4);
        const std::string damaged = list.FilePath() + ".damaged";
        std::remove(list.FilePath().c_str());
        std::remove(damaged.c_str());
        if (!c.file.empty())
            test::WriteTestFile(list.FilePath(), c.file);
        EXPECT_EQ(list.LoadHistory(), c.loads) << c.entries.size();
        EXPECT_EQ(list.Entries(), c.entries);
        ASSERT_TRUE(list.SaveHistory());
        CHistoryList again(4);
        ASSERT_TRUE(again.LoadHistory());
        EXPECT_EQ(again.Entries(), c.entries) << "saved back as loaded";
        ASSERT_TRUE(again.SaveHistory());
        EXPECT_EQ(PathExists(damaged), c.keptBeside) << c.entries.size();
        if (c.keptBeside) {
            EXPECT_EQ(test::ReadTestFile(damaged), c.file) << "a good file never replaces it";
        }
    }
}

} // namespace
} // namespace brivox
