// What the traffic lists copy and save: the three formats, the labels of mixed rows, the bytes
// in line order and the note of dropped bytes.
#include "session/TrafficText.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using K = ByteKind;

// Rows by label, each with its bytes from a first cell on.
struct CRowSpec {
    bool tx;
    int firstCell;
    std::vector<uint8_t> bytes;
};

std::vector<CByteRow> Rows(const std::vector<CRowSpec>& specs) {
    std::vector<CByteRow> rows;
    for (const CRowSpec& spec : specs) {
        CByteRow row;
        row.txLabel = spec.tx;
        for (size_t i = 0; i < spec.bytes.size(); ++i)
            row.Set(spec.firstCell + static_cast<int>(i), spec.bytes[i],
                    spec.tx ? K::Sent : K::Received);
        rows.push_back(row);
    }
    return rows;
}

RowLookup Lookup(const std::vector<CByteRow>& rows) {
    return [&rows](int row) {
        return row >= 0 && row < static_cast<int>(rows.size()) ? &rows[static_cast<size_t>(row)]
                                                               : nullptr;
    };
}

TEST(TrafficTextTest, SelectedCellsInEachFormat) {
    const std::vector<CByteRow> rx =
        Rows({{false, 0, {0x41, 0x42, 0x0D, 0x7F, 0x20}}, {false, 0, {0x00, 0xFF}}});
    const std::vector<CByteRow> detail =
        Rows({{true, 0, {0x41, 0x42}}, {false, 2, {0x06}}, {true, 0, {0x05}}, {false, 1, {}}});
    const struct {
        const char* name;
        const std::vector<CByteRow>& rows;
        CCellSelection cells;
        CopyFormat format;
        const char* text;
    } cases[] = {
        {"hex", rx, {0, {0x0007}}, CopyFormat::Hex, "41 42 0D"},
        {"hex, two rows", rx, {0, {0xFFFF, 0xFFFF}}, CopyFormat::Hex, "41 42 0D 7F 20\n00 FF"},
        {"text", rx, {0, {0x001F, 0x0003}}, CopyFormat::Text, "AB.. \n.."},
        {"C array, one kind",
         rx,
         {0, {0x0003, 0x0003}},
         CopyFormat::CArray,
         "{0x41, 0x42,\n 0x00, 0xFF}"},
        {"a later row alone", rx, {1, {0x0002}}, CopyFormat::Hex, "FF"},
        {"empty cells add nothing", rx, {0, {0xFFE0}}, CopyFormat::Hex, ""},
        {"both kinds keep labels",
         detail,
         {0, {0xFFFF, 0xFFFF}},
         CopyFormat::Hex,
         "TX 41 42\nRX 06"},
        {"C array of both kinds",
         detail,
         {0, {0xFFFF, 0xFFFF, 0xFFFF}},
         CopyFormat::CArray,
         "TX {0x41, 0x42}\nRX {0x06}\nTX {0x05}"},
        {"TX rows only",
         detail,
         {0, {0xFFFF, 0x0000, 0xFFFF, 0xFFFF}},
         CopyFormat::Hex,
         "41 42\n05"},
        {"nothing selected", detail, {}, CopyFormat::CArray, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrafficText(Lookup(c.rows), c.cells, c.format), c.text) << c.name;
}

TEST(TrafficTextTest, SavedBytesFollowTheLineAndTextTellsOfDroppedOnes) {
    // A script "41 <06> 42 <07>": the count is shared, so request and reply interleave by column.
    std::vector<CByteRow> pair = Rows({{true, 0, {0x41}}, {false, 1, {0x06}}});
    pair[0].Set(2, 0x42, K::Sent);
    pair[1].Set(3, 0x07, K::Received);
    EXPECT_EQ(TrafficBytes(Lookup(pair), 2), std::string("\x41\x06\x42\x07"));
    const std::vector<CByteRow> rx = Rows({{false, 0, {0x00, 0x0D}}, {false, 0, {0xFF}}});
    EXPECT_EQ(TrafficBytes(Lookup(rx), 2), std::string("\x00\x0D\xFF", 3));

    EXPECT_EQ(SavedTrafficText(Lookup(rx), 2, 0), "00 0D\nFF\n");
    EXPECT_EQ(SavedTrafficText(Lookup(pair), 2, 4096),
              "# 4096 earlier bytes were dropped when the list reached its limit\n"
              "TX 41 42\nRX 06 07\n");
    EXPECT_EQ(SavedTrafficText(Lookup(rx), 0, 0), "");
}

} // namespace
} // namespace brivox
