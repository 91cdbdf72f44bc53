// What the traffic lists copy, past what the form's tests show: several rows of one kind.
#include "session/TrafficText.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

TEST(TrafficTextTest, RowsOfOneKindInEachFormat) {
    std::vector<CByteRow> rows(3);
    for (int cell = 0; cell < 3; ++cell)
        rows[0].Set(cell, static_cast<uint8_t>(0x41 + cell), ByteKind::Received);
    rows[2].Set(1, 0xFF, ByteKind::Received); // the row between holds nothing
    const RowLookup lookup = [&rows](int row) { return &rows[static_cast<size_t>(row)]; };
    const struct {
        CCellSelection cells;
        CopyFormat format;
        const char* text;
    } cases[] = {
        {{0, {0xFFFF, 0xFFFF, 0xFFFF}}, CopyFormat::Hex, "41 42 43\nFF"},
        {{0, {0x0006, 0xFFFF, 0xFFFF}}, CopyFormat::CArray, "{0x42, 0x43,\n 0xFF}"},
        {{2, {0x0002}}, CopyFormat::Text, "."},
        {{0, {0xFFF8, 0xFFFF, 0x0001}}, CopyFormat::Hex, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrafficText(lookup, c.cells, c.format), c.text) << c.text;
}

} // namespace
} // namespace brivox
