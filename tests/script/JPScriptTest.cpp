#include "script/JPScript.h"

#include "options/OptionKeys.h"
#include "support/TempFolder.h"
#include "util/Text.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace brivox {
namespace {

// "send 41 42 | expect 06" for the items of a script.
std::string Describe(const CJPScript& script) {
    std::string text;
    for (const CJPItem& item : script.Items()) {
        if (!text.empty())
            text += " | ";
        text += item.kind == JPItemKind::Send ? "send" : "expect";
        if (!item.bytes.IsEmpty())
            text += " " + HexPairs(item.bytes.ToVector());
    }
    return text;
}

struct Case {
    const char* text;
    const char* items;
    const char* message = "";
    int position = -1;
};

void Check(int mode, const std::vector<Case>& cases) {
    COptionStore options;
    options.SetInt(opt::kModeIndex, mode);
    CJPScript script(options);
    for (const Case& c : cases) {
        const CCompileResult result = script.Compile(c.text);
        EXPECT_EQ(result.message, c.message) << c.text;
        EXPECT_EQ(result.position, c.position) << c.text;
        EXPECT_EQ(Describe(script), c.items) << c.text;
    }
}

TEST(DetailLanguage, TheFormsExamples) {
    Check(1, {
                 {"41 42 4F", "send 41 42 4F"},
                 {"\"AB\" 4F", "send 41 42 4F"},
                 {"05 <06 00 10>", "send 05 | expect 06 00 10"},
                 {"D3 FF 98; 255;", "send D3 FF 62 FF"},
                 {"41 4F <05 A5> D7", "send 41 4F | expect 05 A5 | send D7"},
                 {"128; 0; 199; 255;", "send 80 00 C7 FF"},
             });
}

TEST(DetailLanguage, GroupsStringsAndNumbers) {
    Check(1, {
                 {"<41><42>", "expect 41 42"},
                 {"<41> <42>", "expect 41 42"},
                 {"41 <42> 43", "send 41 | expect 42 | send 43"},
                 {"<06>41", "expect 06 | send 41"},
                 {"<41", "expect 41"},
                 {"\"a b\" 41", "send 61 20 62 41"},
                 {"41;", "send 29"},
                 {"0041;", "send 29"},
                 {"1A;", "send 01"},
                 {"ab cD", "send AB CD"},
                 {"\"\" 41", "send 41"},
                 {"<\"OK\">", "expect 4F 4B"},
                 {"\"<x>;\"", "send 3C 78 3E 3B"},
                 {"<41;>", "expect 29"},
                 {"41 <06", "send 41 | expect 06"},
             });
}

TEST(DetailLanguage, MessagesAndPositions) {
    Check(1, {
                 {"", "", "Unrecognized character", 0},
                 {"41  42", "send 41", "Unrecognized character", 3},
                 {"< 41>", "", "Unrecognized character", 1},
                 {"<41 >", "expect 41", "Unrecognized character", 4},
                 {"41 ;", "send 41", "Unrecognized character", 3},
                 {"4", "", "Hexa value should be in 2-digits", 1},
                 {"411", "", "Hexa value should be in 2-digits", 3},
                 {"4 41", "", "Hexa value should be in 2-digits", 1},
                 {"256;", "", "Decimal value should be in range of 0~255.", 3},
                 {"99999999999;", "", "Decimal value should be in range of 0~255.", 11},
                 {"41>", "send 41", "Brace Already Closed", 2},
                 {"<41 <42>", "expect 41", "Brace Already Opened", 4},
                 {"<41> >", "expect 41", "Unrecognized character", 5},
                 {"\"A\"\"B\"", "send 41", "Invalid Quotation Mark", 3},
                 {"41; \"A\"", "send 29 41"},
                 {"41;\"A\"", "send 29", "Invalid Quotation Mark", 3},
                 {"41 ?", "send 41", "Unrecognized character", 3},
                 {"<05~0A>", "", "Unrecognized character", 3},
                 {"41\t42", "", "Unrecognized character", 2},
                 {"4G", "", "Unrecognized character", 1},
                 {"41 42 ", "send 41 42", "Unrecognized character", 6},
                 {"<>", "", "Unrecognized character", 1},
             });
}

TEST(DetailLanguage, ChoicesForUnclosedQuotesAndDigitsRunningOn) {
    Check(1, {
                 {"41 \"AB", "send 41", "Invalid Quotation Mark", 3},
                 {"\"", "", "Invalid Quotation Mark", 0},
                 {"4<1>", "", "Unrecognized character", 1},
                 {"41\"AB\"", "", "Unrecognized character", 2},
             });
}

TEST(OtherEncodings, StringDecimalAndKeyStroke) {
    Check(2, {
                 {"", ""},
                 {"AT\r", "send 41 54 0D"},
                 {"<41> \"x\"", "send 3C 34 31 3E 20 22 78 22"},
             });
    Check(3, {
                 {"", ""},
                 {"1  2", "send 01 00 02"},
                 {"255 0 -0 +7 12x", "send FF 00 00 07 0C"},
                 {"12 300", "send 0C", "Value out of range.", 3},
                 {"-1", "", "Value out of range.", 0},
                 {"1 2 99999999999", "send 01 02", "Value out of range.", 4},
                 {"\t5", "send 00"},
             });

    COptionStore options;
    options.SetInt(opt::kModeIndex, 0);
    CJPScript script(options);
    script.AppendByte(0x41, JPItemKind::Send);
    EXPECT_TRUE(script.Compile("zz zz").Succeeded());
    EXPECT_EQ(Describe(script), "send 41") << "Key Stroke leaves the list as it was";
}

TEST(ItemList, NeighbouringItemsNeverShareAKind) {
    COptionStore options;
    CJPScript script(options);
    script.AppendText("0103", JPItemKind::Send, false);
    script.AppendText("06A", JPItemKind::Expect, false);
    script.AppendText("ok", JPItemKind::Expect, true);
    const uint8_t block[] = {1, 2};
    script.AppendBytes(block, 2, JPItemKind::Send);
    script.AppendBytes(block, 0, JPItemKind::Expect);
    script.AppendText("zZ", JPItemKind::Send, false);
    EXPECT_EQ(Describe(script), "send 01 03 | expect 06 6F 6B | send 01 02 00");
    for (size_t i = 0; i + 1 < script.Items().size(); ++i)
        EXPECT_EQ(script.Items()[i].bytes.GetCapacity(), script.Items()[i].bytes.GetLength())
            << "a finished item keeps only its bytes: a long script of tiny items stays small";
    script.Clear();
    EXPECT_TRUE(script.Items().empty());
}

TEST(FileTransfer, TakesAtMost1024BytesWhenLimited) {
    test::CTempFolder folder;
    std::string content(5000, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i % 251);
    test::WriteTestFile(folder.Path("big"), content);
    const int fd = open(folder.Path("big").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    lseek(fd, 300, SEEK_SET); // read from the start whatever the position
    COptionStore options;
    CJPScript script(options);
    script.AppendByte(1, JPItemKind::Expect);
    int count = 0;
    EXPECT_EQ(script.CompileFile(fd, true, count), "");
    EXPECT_EQ(count, 1024);
    ASSERT_EQ(script.Items().size(), 1u);
    EXPECT_EQ(script.Items()[0].kind, JPItemKind::Send);
    EXPECT_EQ(script.Items()[0].bytes.ToString(), content.substr(0, 1024));

    EXPECT_EQ(script.CompileFile(fd, false, count), "");
    EXPECT_EQ(count, 5000);
    close(fd);
    EXPECT_NE(script.CompileFile(fd, true, count), "") << "a closed file is an error";
    EXPECT_EQ(count, 0);
}

} // namespace
} // namespace brivox
