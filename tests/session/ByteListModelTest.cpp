#include "session/ByteListModel.h"

#include "session/ByteCellDelegate.h"
#include "support/PortTestSupport.h"
#include "support/QtApp.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace brivox {
namespace {

using K = ByteKind;

QString Text(const CByteListModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

QStringList Labels(const CByteListModel& model) {
    QStringList labels;
    for (int row = 0; row < model.rowCount(); ++row)
        labels << Text(model, row, CByteListModel::kLabelColumn);
    return labels;
}

struct CPlacementCase {
    const char* name;
    bool rxOnly;
    bool paired;
    std::vector<std::pair<uint8_t, K>> bytes;
    int row; // where the last byte lands
    int column;
    const char* text;
    QStringList labels;
};

TEST(ByteListModelTest, BytesLandByListKindAndPairing) {
    test::QtApp();
    const std::vector<std::pair<uint8_t, K>> seventeen(17, {0x41, K::Received});
    const std::vector<std::pair<uint8_t, K>> twenty(20, {0x30, K::Sent});
    const CPlacementCase cases[] = {
        {"17th received byte opens row 1", true, false, seventeen, 1, 1, "65", {"RX", "RX"}},
        {"Detail: a mismatching reply in the RX row after the request",
         false,
         true,
         {{0x41, K::Sent}, {0x42, K::Sent}, {0x06, K::Mismatch}},
         1,
         3,
         "6_",
         {"TX", "RX"}},
        {"Detail: a matching reply",
         false,
         true,
         {{5, K::Sent}, {6, K::Received}},
         1,
         2,
         "6",
         {"TX", "RX"}},
        {"Test Send in Detail mode does not pair", false, false, twenty, 1, 4, "48", {"TX", "TX"}},
    };
    for (const CPlacementCase& c : cases) {
        CByteListModel model(c.rxOnly);
        model.SetPaired(c.paired);
        for (const auto& [value, kind] : c.bytes)
            model.AddByte(value, kind);
        model.Flush();
        EXPECT_EQ(Text(model, c.row, c.column), c.text) << c.name;
        EXPECT_EQ(Labels(model), c.labels) << c.name;
        EXPECT_EQ(Text(model, c.row, CByteListModel::kAsciiColumn), "") << c.name;
    }
}

TEST(ByteListModelTest, RowsReachTheViewsAtMostEveryHundredMilliseconds) {
    test::QtApp();
    CByteListModel model(true);
    int rowStarts = 0;
    QObject::connect(&model, &CByteListModel::RowStarted, [&] { ++rowStarts; });
    model.AddByte(1, K::Received);
    EXPECT_EQ(model.rowCount(), 1) << "the first byte after a quiet spell shows at once";
    EXPECT_EQ(rowStarts, 1);
    const std::vector<uint8_t> burst(40, 7);
    model.AddBytes(burst.data(), static_cast<int>(burst.size()), K::Received);
    EXPECT_EQ(model.rowCount(), 1) << "the burst waits for the flush";
    EXPECT_EQ(model.StoredRowCount(), 3);
    EXPECT_TRUE(test::RunEventsUntil([&] { return model.rowCount() == 3; }, 2000));
    EXPECT_EQ(rowStarts, 2) << "one scroll for the rows of one flush";
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.CellCount(), 0);
}

// Past the limit whole blocks of 8 rows go: the newest bytes stay in order, labels and row
// parity keep their places, and the next byte lands after the last.
TEST(ByteListModelTest, TheOldestRowsGoInBlocksOfEightPastTheLimit) {
    test::QtApp();
    const struct {
        bool rxOnly;
        bool paired;
        int rowsAdded; // 16 bytes each, the value the row's number
        int rowsLeft;
        int firstValue;
    } cases[] = {{true, false, 65, 57, 8}, {false, true, 33, 58, 4}};
    for (const auto& c : cases) {
        CByteListModel model(c.rxOnly, 64 * 16);
        model.SetPaired(c.paired);
        model.AddByte(0, c.rxOnly ? K::Received : K::Sent);
        for (int i = 1; i < c.rowsAdded * 16; ++i)
            model.AddByte(static_cast<uint8_t>(i / 16), c.rxOnly ? K::Received : K::Sent);
        model.Flush();
        EXPECT_EQ(model.rowCount(), c.rowsLeft);
        EXPECT_EQ(model.CellCount(), c.rowsLeft * (c.paired ? 8 : 16));
        EXPECT_EQ(model.DroppedBytes(), c.rowsAdded * 16 - model.CellCount());
        EXPECT_EQ(Text(model, 0, 1), QString::number(c.firstValue));
        EXPECT_EQ(Text(model, 0, 0), c.rxOnly ? "RX" : "TX");
        EXPECT_EQ(Text(model, 1, 0), "RX") << "pairs keep their rows";
        model.AddByte(99, c.rxOnly ? K::Received : K::Sent);
        model.Flush();
        EXPECT_EQ(Text(model, c.rowsLeft, 1), "99");
        model.Clear();
        EXPECT_EQ(model.DroppedBytes(), 0);
    }
}

// A row filled a run at a time holds what it would hold filled a byte at a time, over cells
// already set with another kind and line error.
TEST(ByteListModelTest, ARunOfCellsIsSetAsByteByByte) {
    uint8_t bytes[CByteRow::kCells];
    uint8_t marks[CByteRow::kCells];
    for (int i = 0; i < CByteRow::kCells; ++i) {
        bytes[i] = static_cast<uint8_t>(0xA0 + i);
        marks[i] = static_cast<uint8_t>(i % 3 == 0);
    }
    for (const ByteKind kind : {ByteKind::Mismatch, ByteKind::Sent, ByteKind::Received})
        for (int cell = 0; cell < CByteRow::kCells; ++cell)
            for (int count = 1; cell + count <= CByteRow::kCells; ++count)
                for (const uint8_t* runMarks :
                     {static_cast<const uint8_t*>(nullptr), static_cast<const uint8_t*>(marks)}) {
                    CByteRow byRun, byByte;
                    for (int i = 0; i < CByteRow::kCells; ++i) {
                        byRun.Set(i, 1, ByteKind::Sent, true);
                        byByte.Set(i, 1, ByteKind::Sent, true);
                    }
                    byRun.SetRun(cell, bytes, runMarks, count, kind);
                    for (int i = 0; i < count; ++i)
                        byByte.Set(cell + i, bytes[i], kind, runMarks != nullptr && runMarks[i]);
                    ASSERT_EQ(std::memcmp(byRun.values, byByte.values, sizeof byRun.values), 0);
                    ASSERT_EQ(byRun.states, byByte.states) << cell << "+" << count;
                    ASSERT_EQ(byRun.lineErrors, byByte.lineErrors) << cell << "+" << count;
                }
}

TEST(ByteListModelTest, TypingKeepsEightRows) {
    test::QtApp();
    CByteListModel model(false);
    for (int i = 0; i < 130; ++i) {
        model.KeepTypingRows();
        model.AddByte(static_cast<uint8_t>(i), K::Sent);
    }
    model.Flush();
    EXPECT_EQ(model.rowCount(), 8);
    EXPECT_EQ(Text(model, 0, 1), "16") << "the first row went";
    EXPECT_EQ(Text(model, 7, 2), "129");
    EXPECT_EQ(model.DroppedBytes(), 16);
}

TEST(ByteListModelTest, TheAsciiColumnShowsOnlyValuesFrom33To127) {
    CByteRow row;
    const uint8_t values[] = {0, 10, 32, 33, 65, 127, 128, 200, 255};
    for (int i = 0; i < 9; ++i)
        row.Set(i, values[i], K::Received);
    QString text;
    for (int cell = 0; cell < CByteRow::kCells; ++cell)
        text += CByteCellDelegate::AsciiCharacter(row, cell);
    EXPECT_EQ(text, QString("   !A") + QChar(127) + QString(10, ' '));
}

} // namespace
} // namespace brivox
