#include "util/Text.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

TEST(FormatNumberTest, RadixWidthAndSign) {
    const struct {
        int32_t value;
        int radix;
        int width;
        const char* text;
    } cases[] = {
        {255, 16, 2, "FF"},
        {300, 16, 2, "2C"},
        {7, 10, -1, "7"},
        {10, 16, 2, "0A"},
        {0, 16, -1, "0"},
        {5, 2, 8, "00000101"},
        {-42, 10, -1, "-42"},
        {-7, 10, 3, "-007"},
        {-1, 16, -1, "FFFFFFFF"},
        {123456, 10, 3, "456"},
        {35, 36, -1, "Z"},
        {1, 1, -1, ""},
        {INT32_MIN, 10, -1, "-2147483648"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatNumber(c.value, c.radix, c.width), c.text)
            << c.value << " radix " << c.radix << " width " << c.width;
}

TEST(ReadLeadingIntTest, ReadsLikeAtoiWithoutOverflow) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"12abc", 12},
        {"abc", 0},
        {"  -15x", -15},
        {"+7", 7},
        {"", 0},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"- 3", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadLeadingInt(c.text), c.value) << c.text;
}

TEST(SplitTextTest, KeepsEmptyPieces) {
    EXPECT_EQ(SplitText("a&&b&", "&"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(SplitText("", "&"), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitText("x___y", "___"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(TrimText(" \t a b \r\n"), "a b");
    EXPECT_EQ(HexPairs({0x0A, 0xFF, 0x00}), "0A FF 00");
}

} // namespace
} // namespace brivox
