#include "options/OptionStore.h"

#include "banner/DefaultBannerScript.h"
#include "options/GlobalOptions.h"
#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace brivox {
namespace {

COptionStore Defaults() {
    COptionStore store;
    RegisterDefaultOptions(store, "eng");
    return store;
}

TEST(OptionStoreGetters, ReadEachKindAsIntAndText) {
    COptionStore store;
    store.SetInt("i", -12);
    store.SetString("digits", "12abc");
    store.SetString("letters", "abc");
    CByteBuffer bytes;
    bytes.Append("\x01\x02");
    store.SetBytes("b", bytes);

    const struct {
        const char* name;
        bool intFound;
        int32_t intValue;
        bool textFound;
        const char* text;
    } cases[] = {
        {"i", true, -12, true, "-12"},     {"digits", true, 12, true, "12abc"},
        {"letters", true, 0, true, "abc"}, {"b", false, 77, false, ""},
        {"missing", false, 77, false, ""},
    };
    for (const auto& c : cases) {
        int32_t value = 0;
        std::string text = "stale";
        EXPECT_EQ(store.TryGetInt(c.name, value), c.intFound) << c.name;
        EXPECT_EQ(store.GetInt(c.name, 77), c.intValue) << c.name;
        EXPECT_EQ(store.TryGetString(c.name, text), c.textFound) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
    CByteBuffer read;
    ASSERT_TRUE(store.TryGetBytes("b", read));
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(store.TryGetBytes("i", read));
}

TEST(OptionStoreGetters, AlternatesAreTriedInOrder) {
    COptionStore store;
    store.SetInt("second", 2);
    store.SetString("third", "3");
    store.SetString("a|b", "whole");
    EXPECT_EQ(store.GetInt("first|second|third", -1, '|'), 2);
    EXPECT_EQ(store.GetString("first|third|second", '|'), "3");
    EXPECT_EQ(store.GetInt("first|none", -1, '|'), -1);
    EXPECT_EQ(store.GetString("a|b"), "whole") << "no separator: the name as it is";
    EXPECT_EQ(store.GetString("a|b", '|'), "") << "pieces are not split again";
}

TEST(OptionStoreSetters, KeepTheKindAnEntryWasCreatedWith) {
    COptionStore store = Defaults();
    store.SetString(opt::kBaudIndex, "3");
    EXPECT_EQ(store.GetInt(opt::kBaudIndex, -1), 10);
    EXPECT_EQ(store.GetString(opt::kBaudIndex), "10");

    store.SetInt(opt::kModbusWordData, 99);
    EXPECT_EQ(store.GetString(opt::kModbusWordData), "1234");

    // Copies carry only the slot of the entry's kind.
    COptionStore copy;
    copy.CopyFrom(store);
    copy.SetInt(opt::kModbusWordData, 0);
    store.SetString(opt::kBaudIndex, "");
    EXPECT_EQ(copy.GetInt(opt::kBaudIndex, -1), 10);
    EXPECT_EQ(copy.Find(opt::kModbusWordData)->integer, 0);
}

TEST(OptionStoreCopies, MergeAndCopyHonourIncludeAndExclude) {
    COptionStore source;
    source.SetInt("a", 1);
    source.SetInt("b", 2);
    source.SetString("c", "three");

    COptionStore target;
    target.SetString("a", "old");
    target.SetInt("z", 26);
    const COptionStore::NameSet include = {"a", "b"};
    const COptionStore::NameSet exclude = {"b"};
    target.MergeFrom(source, &include, &exclude);
    EXPECT_EQ(target.Find("a")->kind, OptionKind::Int) << "merging replaces the whole entry";
    EXPECT_EQ(target.GetInt("a", -1), 1);
    EXPECT_EQ(target.Find("b"), nullptr);
    EXPECT_EQ(target.GetInt("z", -1), 26);

    target.CopyFrom(source, nullptr, &exclude);
    EXPECT_EQ(target.Find("z"), nullptr);
    EXPECT_EQ(target.Find("b"), nullptr);
    EXPECT_EQ(target.GetString("c"), "three");

    target.CopyFrom(target);
    EXPECT_EQ(target.GetEntries().size(), 2u) << "copying a store onto itself keeps it";
}

TEST(OptionStoreDefaults, RegisterTheKeyTable) {
    const COptionStore store = Defaults();
    const struct {
        const char* name;
        const char* value;
        OptionKind kind;
    } expected[] = {
        {"GOPT.brindex", "10", OptionKind::Int},
        {"GOPT.jpdkind", "0", OptionKind::Int},
        {"GOPT.clear_jpdtext_after_sdsending", "0", OptionKind::Int},
        {"GOPT.mdfcindex", "2", OptionKind::Int},
        {"GOPT.mdstaddress", "7000", OptionKind::Text},
        {"GOPT.mdlength", "3", OptionKind::Int},
        {"GOPT.mdsladdress", "3", OptionKind::Int},
        {"GOPT.mdwddata", "1234", OptionKind::Text},
        {"GOPT.mdbiton", "1", OptionKind::Int},
        {"GOPT.enable_rts", "0", OptionKind::Int},
        {"GOPT.enable_dtr", "1", OptionKind::Int},
        {"GOPT.lgntisrtime", "", OptionKind::Text},
        {"GOPT.gmdthbyte", "", OptionKind::Text},
        {"GOPT.gmdthword", "", OptionKind::Text},
        {"GOPT.rsdptype", "0", OptionKind::Int},
        {"GOPT.jflpath", "", OptionKind::Text},
        {"GOPT.wsdsinterval", "3000", OptionKind::Int},
        {"GOPT.spindex", "1", OptionKind::Int},
        {"GOPT.sdsdelay", "0", OptionKind::Int},
        {"GOPT.bparity", "0", OptionKind::Int},
        {"GOPT.databits", "1", OptionKind::Int},
        {"GOPT.stopbits", "0", OptionKind::Int},
    };
    for (const auto& e : expected) {
        ASSERT_NE(store.Find(e.name), nullptr) << e.name;
        EXPECT_EQ(store.Find(e.name)->kind, e.kind) << e.name;
        EXPECT_EQ(store.GetString(e.name), e.value) << e.name;
    }
    EXPECT_EQ(store.Find("GOPT.rts_on_while_sdsending"), nullptr);
    EXPECT_EQ(store.GetEntries().size(), std::size(expected) + 1); // + the banner script
}

TEST(OptionStoreDefaults, BannerScriptFollowsTheLanguage) {
    EXPECT_EQ(Defaults().GetString(opt::kBannerScript),
              "gntiscript:Dalmeno Technology|https://www.dalmeno.example/|180___"
              "www.dalmeno.example|https://www.dalmeno.example/|180");
    COptionStore korean;
    RegisterDefaultOptions(korean, "kor");
    EXPECT_EQ(korean.GetString(opt::kBannerScript),
              "gntiscript:Dalmeno|https://www.dalmeno.example/|180___"
              "www.dalmeno.example|https://www.dalmeno.example/|180");
}

TEST(OptionStoreFiles, SavedStoreLoadsBackEveryEntry) {
    test::CTempFolder folder;
    COptionStore store = Defaults();
    store.SetInt("negative", INT32_MIN);
    store.SetString("long", std::string(1000, 'q'));
    store.SetString("utf8", "\xED\x95\x9C");
    CByteBuffer bytes;
    bytes.Append(std::string("\0\xFF\x80", 3));
    store.SetBytes("bytes", bytes);
    const std::string path = folder.Path("nested/folder/xyt_gopt.dat");
    ASSERT_TRUE(store.Save(path));

    COptionStore loaded;
    loaded.SetInt("dropped", 1);
    COptionLoadReport report;
    ASSERT_TRUE(loaded.Load(path, false, &report));
    EXPECT_EQ(report.outcome, COptionLoadReport::Outcome::Complete);
    ASSERT_EQ(loaded.GetEntries().size(), store.GetEntries().size());
    for (const auto& [name, value] : store.GetEntries()) {
        const COptionValue* back = loaded.Find(name);
        ASSERT_NE(back, nullptr) << name;
        EXPECT_EQ(back->kind, value->kind) << name;
        EXPECT_EQ(back->integer, value->kind == OptionKind::Int ? value->integer : 0) << name;
        EXPECT_EQ(back->text, value->text) << name;
        EXPECT_EQ(back->bytes, value->bytes) << name;
    }
}

TEST(OptionStoreFiles, LoadOverDefaultsKeepsWhatTheFileLacks) {
    test::CTempFolder folder;
    const std::string path = folder.Path("xyt_gopt.dat");
    test::WriteTestFile(path, std::string("\x23\x0CGOPT.brindex\x05\0\0\0", 18));
    COptionStore store = Defaults();
    ASSERT_TRUE(store.Load(path, true));
    EXPECT_EQ(store.GetInt(opt::kBaudIndex, -1), 5);
    EXPECT_EQ(store.GetInt(opt::kRepeatInterval, -1), 3000);

    test::WriteTestFile(path, "");
    COptionStore fromEmpty = Defaults();
    EXPECT_TRUE(fromEmpty.Load(path, true));
    EXPECT_EQ(fromEmpty.GetEntries().size(), Defaults().GetEntries().size());

    COptionStore untouched = Defaults();
    EXPECT_FALSE(untouched.Load(folder.Path("missing.dat"), false));
    EXPECT_EQ(untouched.GetInt(opt::kBaudIndex, -1), 10) << "a failed read clears nothing";
}

TEST(OptionStoreFiles, AFailedSaveLeavesTheOldFileByteForByte) {
    test::CTempFolder folder;
    const std::string path = folder.Path("xyt_gopt.dat");
    COptionStore small;
    small.SetInt("GOPT.brindex", 4);
    ASSERT_TRUE(small.Save(path));
    const std::string before = test::ReadTestFile(path);

    const COptionStore large = Defaults();
    {
        const test::CFileSizeLimit diskFull(before.size() + 10);
        EXPECT_FALSE(large.Save(path));
    }
    EXPECT_EQ(test::ReadTestFile(path), before);

    COptionStore unnamed = Defaults();
    unnamed.SetInt("", 1);
    EXPECT_FALSE(unnamed.Save(path));
    EXPECT_EQ(test::ReadTestFile(path), before);

    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Root()))
        ++files;
    EXPECT_EQ(files, 1u) << "no temporary file is left behind";
}

TEST(GlobalOptionsTest, StartUpMergesTheFileAndResetsTheDelay) {
    test::CTempFolder folder;
    const std::string path = folder.Path("xyt_gopt.dat");
    COptionStore saved;
    saved.SetInt(opt::kByteDelay, 250);
    saved.SetInt(opt::kBaudIndex, 4);
    ASSERT_TRUE(saved.Save(path));

    COptionStore global;
    FillGlobalOptions(global, path, "eng");
    EXPECT_EQ(global.GetInt(opt::kByteDelay, -1), 0);
    EXPECT_EQ(global.GetInt(opt::kBaudIndex, -1), 4);
    EXPECT_EQ(global.GetInt(opt::kRepeatInterval, -1), 3000);

    COptionStore fromNothing;
    FillGlobalOptions(fromNothing, folder.Path("missing"), "kor");
    EXPECT_EQ(fromNothing.GetInt(opt::kBaudIndex, -1), 10);
    EXPECT_EQ(fromNothing.GetString(opt::kBannerScript).rfind("gntiscript:Dalmeno|", 0), 0u);
}

} // namespace
} // namespace brivox
