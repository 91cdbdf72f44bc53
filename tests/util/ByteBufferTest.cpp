#include "util/ByteBuffer.h"

#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <numeric>
#include <unistd.h>

namespace brivox {
namespace {

std::vector<uint8_t> Sequence(int count, uint8_t first = 0) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

CByteBuffer BufferOf(const std::vector<uint8_t>& bytes) {
    CByteBuffer buffer;
    buffer.Append(bytes.data(), static_cast<int32_t>(bytes.size()));
    return buffer;
}

TEST(ByteBufferGrowth, FollowsStepsOfAQuarterOfTheLastCapacity) {
    struct Case {
        std::vector<int> appends;
        int capacity;
        int step;
    };
    const Case cases[] = {
        {{1}, 256, 64},         {{256}, 256, 64},
        {{300}, 512, 128},      {{256, 1}, 320, 80}, // one step of 64
        {{256, 129}, 448, 112},                      // three steps of 64
        {{300, 300}, 640, 160},                      // 512 + one step of 128
        {{1000}, 1024, 256},
    };
    for (const Case& c : cases) {
        CByteBuffer buffer;
        for (int count : c.appends)
            ASSERT_TRUE(buffer.Append(Sequence(count).data(), count));
        EXPECT_EQ(buffer.GetCapacity(), c.capacity) << "after " << c.appends.size() << " appends";
        EXPECT_EQ(buffer.GetGrowthStep(), c.step);
    }
}

TEST(ByteBufferRing, ConsumedSpaceIsReusedAcrossTheEndOfTheStorage) {
    CByteBuffer buffer = BufferOf(Sequence(256));
    ASSERT_EQ(buffer.GetCapacity(), 256);
    ASSERT_TRUE(buffer.Consume(10));
    const std::vector<uint8_t> tail = Sequence(10, 200);
    ASSERT_TRUE(buffer.Append(tail.data(), 10));
    EXPECT_EQ(buffer.GetCapacity(), 256) << "no growth needed";
    EXPECT_EQ(buffer.GetHead(), 10);

    std::vector<uint8_t> all(256);
    ASSERT_TRUE(buffer.Read(all.data()));
    std::vector<uint8_t> expected = Sequence(246, 10);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(all, expected);

    // Growing a wrapped buffer keeps the logical order.
    ASSERT_TRUE(buffer.AppendByte(0xEE));
    expected.push_back(0xEE);
    EXPECT_EQ(buffer.ToVector(), expected);
    EXPECT_EQ(buffer.GetHead(), 0);
}

TEST(ByteBufferRead, BoundsAreCheckedAgainstTheLength) {
    const CByteBuffer buffer = BufferOf(Sequence(256));
    uint8_t six[7] = {};
    EXPECT_TRUE(buffer.Read(six, 6, 250));
    EXPECT_EQ(six[5], 255);
    EXPECT_FALSE(buffer.Read(six, 7, 250));
    EXPECT_FALSE(buffer.Read(six, 1, -1));
    EXPECT_FALSE(buffer.Read(six, 1, 257));
    EXPECT_TRUE(buffer.Read(six, 0, 256));

    EXPECT_EQ(buffer.ByteAt(255), 255);
    EXPECT_EQ(buffer.ByteAt(256), 0);
    EXPECT_EQ(buffer.ByteAt(-1), 0);

    int32_t cursor = 100;
    uint8_t two[2] = {};
    EXPECT_TRUE(buffer.ReadAt(cursor, two, 2));
    EXPECT_EQ(cursor, 102);
    EXPECT_EQ(two[1], 101);
    cursor = 255;
    EXPECT_FALSE(buffer.ReadAt(cursor, two, 2));
    EXPECT_EQ(cursor, 255) << "a failed read leaves the cursor";
}

TEST(ByteBufferEdits, RejectedArgumentsLeaveTheBufferAsItWas) {
    CByteBuffer buffer = BufferOf(Sequence(5));
    EXPECT_FALSE(buffer.Consume(0));
    EXPECT_FALSE(buffer.Consume(6));
    EXPECT_TRUE(buffer.Append(nullptr, 0));
    EXPECT_FALSE(buffer.Append(Sequence(1).data(), -1));
    EXPECT_FALSE(buffer.Reset(0, 0));
    EXPECT_FALSE(buffer.Reserve(5));
    EXPECT_FALSE(buffer.AppendFrom(buffer, 3, 3));
    EXPECT_EQ(buffer.ToVector(), Sequence(5));
    EXPECT_EQ(buffer.GetCapacity(), 256);

    uint8_t taken[2] = {};
    EXPECT_TRUE(buffer.Consume(2, taken));
    EXPECT_EQ(taken[1], 1);
    EXPECT_EQ(buffer.ToVector(), Sequence(3, 2));
}

TEST(ByteBufferEdits, ResetReserveAndClearSetCapacityAndStep) {
    CByteBuffer buffer;
    ASSERT_TRUE(buffer.Reset(100, 0));
    EXPECT_EQ(buffer.GetGrowthStep(), 25);
    ASSERT_TRUE(buffer.Reset(3, 0));
    EXPECT_EQ(buffer.GetGrowthStep(), 1) << "at least 1";
    ASSERT_TRUE(buffer.Reset(100, 7));
    EXPECT_EQ(buffer.GetGrowthStep(), 7);
    EXPECT_EQ(buffer.FreeSpace(), 100);

    buffer.Append(Sequence(101).data(), 101);
    EXPECT_EQ(buffer.GetCapacity(), 107) << "one step of 7";

    ASSERT_TRUE(buffer.Reserve(400));
    EXPECT_EQ(buffer.GetGrowthStep(), 100);
    EXPECT_EQ(buffer.ToVector(), Sequence(101));

    buffer.Clear();
    EXPECT_EQ(buffer.GetCapacity(), 0);
    EXPECT_EQ(buffer.GetLength(), 0);
    EXPECT_EQ(buffer.GetGrowthStep(), 100) << "the step survives a clear";
    buffer.AppendByte(1);
    EXPECT_EQ(buffer.GetCapacity(), 100);
}

TEST(ByteBufferEdits, CompactKeepsOnlyTheHeldBytesInOrder) {
    CByteBuffer wrapped = BufferOf(Sequence(256));
    wrapped.Consume(100);
    wrapped.Append(Sequence(50, 0xA0).data(), 50);
    const std::vector<uint8_t> held = wrapped.ToVector();
    ASSERT_TRUE(wrapped.Compact());
    EXPECT_EQ(wrapped.GetCapacity(), 206);
    EXPECT_EQ(wrapped.GetHead(), 0);
    EXPECT_EQ(wrapped.ToVector(), held);
    ASSERT_TRUE(wrapped.AppendByte(7));
    EXPECT_EQ(wrapped.GetCapacity(), 206 + 51) << "grows again by a quarter";

    CByteBuffer emptied = BufferOf(Sequence(3));
    emptied.Consume(3);
    ASSERT_TRUE(emptied.Compact());
    EXPECT_EQ(emptied.GetCapacity(), 0);
    ASSERT_TRUE(emptied.AppendByte(1));
    EXPECT_EQ(emptied.ToVector(), std::vector<uint8_t>{1});
}

TEST(ByteBufferCopies, CopyAssignAndAppendFromSelfKeepLogicalOrder) {
    CByteBuffer wrapped = BufferOf(Sequence(256));
    wrapped.Consume(100);
    wrapped.Append(Sequence(50, 0xA0).data(), 50);

    const CByteBuffer copy(wrapped);
    EXPECT_EQ(copy.ToVector(), wrapped.ToVector());
    EXPECT_EQ(copy.GetHead(), 0);

    CByteBuffer assigned;
    ASSERT_TRUE(assigned.Assign(wrapped));
    EXPECT_EQ(assigned.ToVector(), wrapped.ToVector());
    ASSERT_TRUE(assigned.Assign(assigned));
    EXPECT_EQ(assigned.ToVector(), wrapped.ToVector());

    CByteBuffer doubled = BufferOf(Sequence(4));
    ASSERT_TRUE(doubled.AppendFrom(doubled));
    EXPECT_EQ(doubled.ToVector(), (std::vector<uint8_t>{0, 1, 2, 3, 0, 1, 2, 3}));
    ASSERT_TRUE(doubled.AppendFrom(copy, 200, 2));
    EXPECT_EQ(doubled.ByteAt(8), copy.ByteAt(200));
}

TEST(ByteBufferFiles, SaveLoadAndPartialReadsOfFiles) {
    test::CTempFolder folder;
    CByteBuffer wrapped = BufferOf(Sequence(256));
    wrapped.Consume(56);
    wrapped.Append(Sequence(40, 1).data(), 40);
    const std::string path = folder.Path("a/b/data.bin");
    ASSERT_TRUE(wrapped.SaveToFile(path)) << "missing folders are created";

    CByteBuffer loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path));
    EXPECT_EQ(loaded.ToVector(), wrapped.ToVector());

    const int fd = open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(loaded.ReadFrom(fd, 10, 5));
    EXPECT_EQ(loaded.ToVector(), Sequence(5, 66));
    EXPECT_FALSE(loaded.ReadFrom(fd, 230, 50)) << "fewer bytes than asked";
    EXPECT_EQ(loaded.GetLength(), 0);

    const CByteBuffer extra = BufferOf({0xAB, 0xCD});
    ASSERT_TRUE(extra.WriteTo(fd, true));
    ASSERT_TRUE(loaded.ReadFrom(fd, 0));
    EXPECT_EQ(loaded.GetLength(), 242);
    EXPECT_EQ(loaded.ByteAt(241), 0xCD);
    ASSERT_TRUE(extra.WriteTo(fd, false));
    ASSERT_TRUE(loaded.ReadFrom(fd, 0));
    EXPECT_EQ(loaded.ToVector(), extra.ToVector());
    close(fd);

    EXPECT_FALSE(loaded.LoadFromFile(folder.Path("missing")));
}

TEST(ByteBufferFiles, AFailedSaveLeavesTheOldFile) {
    test::CTempFolder folder;
    const std::string path = folder.Path("keep.bin");
    test::WriteTestFile(path, "old contents");
    const CByteBuffer data = BufferOf(Sequence(10));

    EXPECT_FALSE(data.SaveToFile(path + "/under-a-file"));
    EXPECT_EQ(test::ReadTestFile(path), "old contents");

    {
        const test::CFileSizeLimit diskFull(4);
        EXPECT_FALSE(data.SaveToFile(path));
    }
    EXPECT_EQ(test::ReadTestFile(path), "old contents");
}

TEST(ByteBufferText, Utf16LittleEndianBecomesUtf8) {
    const struct {
        std::vector<uint8_t> bytes;
        std::string text;
    } cases[] = {
        {{'A', 0, 'b', 0}, "Ab"},
        {{'A', 0, 'b'}, "A"},                                   // odd final byte ignored
        {{0x5C, 0xD5, 0x6D, 0xAD}, "\xED\x95\x9C\xEA\xB5\xAD"}, // Korean syllables
        {{0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},         // surrogate pair
        {{0x3D, 0xD8, 'x', 0}, "?x"},                           // lone surrogate
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BufferOf(c.bytes).ToAnsiText(), c.text);
}

} // namespace
} // namespace brivox
