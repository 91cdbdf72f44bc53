// The send-history lists: where a text goes, what drops out, and their files.
#include "options/HistoryList.h"

#include "platform/Paths.h"
#include "support/TempFolder.h"

#include <cstdlib>
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

std::string TextRecord(const std::string& name, const std::string& text) {
    return "\x08" + std::string(1, static_cast<char>(name.size())) + name +
           static_cast<char>(text.size()) + text;
}

// Points the settings folder at a fresh folder while it lives.
class HistoryListTest : public testing::Test {
protected:
    HistoryListTest() : m_saved(std::getenv("XDG_CONFIG_HOME")) {
        setenv("XDG_CONFIG_HOME", m_folder.Root().c_str(), 1);
        MakeSurePathExists(SettingsFolder());
    }
    ~HistoryListTest() override { setenv("XDG_CONFIG_HOME", m_saved.c_str(), 1); }

    static CHistoryList Loaded(const Entries& entries) {
        COptionStore store;
        store.SetInt("Cnt", static_cast<int32_t>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i)
            store.SetString(std::to_string(i), entries[i]);
        CHistoryList list(3);
        EXPECT_TRUE(store.Save(list.FilePath()));
        EXPECT_TRUE(list.LoadHistory());
        return list;
    }
    static Entries Numbered(const std::string& prefix, int count) {
        Entries entries;
        for (int i = 0; i < count; ++i)
            entries.push_back(prefix + std::to_string(i));
        return entries;
    }

    test::CTempFolder m_folder;
    std::string m_saved;
};

TEST_F(HistoryListTest, AddingATextByThePinnedEntryRule) {
    Entries fullOfPins = Numbered("[mem]p", 100);
    Entries full = Numbered("t", 100);
    Entries fullAfter = full;
    fullAfter.insert(fullAfter.begin(), "new");
    fullAfter.pop_back();
    Entries pinsThenOld = Numbered("[mem]p", 99);
    pinsThenOld.push_back("old");
    Entries pinsThenNew = Numbered("[mem]p", 99);
    pinsThenNew.push_back("new");
    const struct {
        const char* what;
        Entries before;
        std::string text;
        bool added;
        Entries after;
    } cases[] = {
        {"first text", {}, "41 42", true, {"41 42"}},
        {"newest on top", {"41 42"}, "41 43", true, {"41 43", "41 42"}},
        {"duplicate moves nothing", {"41 43", "41 42"}, "41 42", false, {"41 43", "41 42"}},
        {"case counts", {"ab"}, "AB", true, {"AB", "ab"}},
        {"pinned duplicate", {"[mem]41 42"}, "41 42", false, {"[mem]41 42"}},
        {"below the pins", {"[mem]A", "[mem]B", "C"}, "05", true, {"[mem]A", "[mem]B", "05", "C"}},
        {"below the last pin, wherever it stands",
         {"C", "[mem]A"},
         "05",
         true,
         {"C", "[mem]A", "05"}},
        {"the 101st text pushes out the bottom", full, "new", true, fullAfter},
        {"the bottom goes below 99 pins", pinsThenOld, "new", true, pinsThenNew},
        {"pins filling the list leave no room", fullOfPins, "new", false, fullOfPins},
    };
    for (const auto& c : cases) {
        CHistoryList list = Loaded(c.before);
        EXPECT_EQ(list.AddToHistory(c.text), c.added) << c.what;
        EXPECT_EQ(list.Entries(), c.after) << c.what;
    }
}

TEST_F(HistoryListTest, MemoryPinsAtTheTopAndDeleteAllTakesPinsToo) {
    CHistoryList list = Loaded({"[mem]P", "BB", "AA", "CC"});
    EXPECT_TRUE(list.Pin(2));
    EXPECT_EQ(list.Entries(), (Entries{"[mem]AA", "[mem]P", "BB", "CC"}));
    EXPECT_EQ(CHistoryList::TextOf(list.Entries()[0]), "AA");
    EXPECT_FALSE(list.Pin(1)) << "already pinned";
    EXPECT_FALSE(list.Pin(4));
    EXPECT_TRUE(list.Remove(2));
    EXPECT_EQ(list.Entries(), (Entries{"[mem]AA", "[mem]P", "CC"}));
    list.RemoveAll();
    EXPECT_TRUE(list.Entries().empty());
}

TEST_F(HistoryListTest, ButtonStatesFollowTheSelection) {
    const Entries entries{"[mem]A", "B"};
    const struct {
        Entries entries;
        int selected;
        bool remove, pin, removeAll;
    } cases[] = {
        {entries, -1, false, false, true}, {entries, 0, true, false, true},
        {entries, 1, true, true, true},    {entries, 2, false, false, true},
        {{}, -1, false, false, false},
    };
    for (const auto& c : cases) {
        const CHistoryButtons buttons = HistoryButtonStates(c.entries, c.selected);
        EXPECT_EQ(buttons.remove, c.remove) << c.selected;
        EXPECT_EQ(buttons.pin, c.pin) << c.selected;
        EXPECT_EQ(buttons.removeAll, c.removeAll) << c.selected;
    }
}

TEST_F(HistoryListTest, SavedListsLoadBackInOrder) {
    CHistoryList list(7);
    EXPECT_EQ(list.FilePath(), SettingsFolder() + "/history7.asg");
    const std::string longText(300, 'x');
    for (const std::string& text :
         {std::string("41 42"), longText, std::string("\"\xED\x95\x9C\"")})
        list.AddToHistory(text);
    list.Pin(2);
    ASSERT_TRUE(list.SaveHistory());

    COptionStore file;
    ASSERT_TRUE(file.Load(list.FilePath(), false));
    EXPECT_EQ(file.GetEntries().size(), 4u);
    EXPECT_EQ(file.Find("Cnt")->kind, OptionKind::Int);
    EXPECT_EQ(file.GetInt("Cnt", -1), 3);
    EXPECT_EQ(file.GetString("0"), "[mem]41 42");

    CHistoryList loaded;
    loaded.SetIndex(7);
    ASSERT_TRUE(loaded.LoadHistory());
    EXPECT_EQ(loaded.Entries(), list.Entries());
}

TEST_F(HistoryListTest, FilesThatDoNotLoadLeaveTheListAsItWas) {
    const std::string badRecord("\x22\x01x", 3);
    const struct {
        const char* what;
        std::string bytes; // none: no file
        bool loads;
        Entries entries;
    } cases[] = {
        {"missing", "", false, {}},
        {"breaks the format", CountRecord(1) + TextRecord("0", "AB") + badRecord, false, {}},
        {"count beyond its entries", CountRecord(3) + TextRecord("1", "AB"), true, {"", "AB", ""}},
        {"no count", TextRecord("0", "AB"), true, {}},
        {"negative count", CountRecord(0xFFFFFFFF), true, {}},
        {"a count no list reaches", CountRecord(0x7FFFFFFF), true, Entries(100, "")},
    };
    for (const auto& c : cases) {
        CHistoryList list(4);
        std::remove(list.FilePath().c_str());
        if (!c.bytes.empty())
            test::WriteTestFile(list.FilePath(), c.bytes);
        EXPECT_EQ(list.LoadHistory(), c.loads) << c.what;
        EXPECT_EQ(list.Entries(), c.entries) << c.what;
    }
}

TEST_F(HistoryListTest, ADamagedFileIsKeptBesideWhenTheListIsSaved) {
    CHistoryList list(6);
    const std::string damaged = TextRecord("0", "AB") + "\x22\x01x";
    test::WriteTestFile(list.FilePath(), damaged);
    EXPECT_FALSE(list.LoadHistory());
    list.AddToHistory("05");
    ASSERT_TRUE(list.SaveHistory());
    EXPECT_EQ(test::ReadTestFile(list.FilePath() + ".damaged"), damaged);
    ASSERT_TRUE(list.LoadHistory());
    EXPECT_EQ(list.Entries(), Entries{"05"});
}

} // namespace
} // namespace brivox
