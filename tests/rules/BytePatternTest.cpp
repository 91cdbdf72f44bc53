#include "rules/BytePattern.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Fit = CBytePattern::Fit;
using Bytes = std::vector<uint8_t>;

CBytePattern Parsed(const std::string& text, CBytePattern::Use use) {
    CBytePattern pattern;
    const std::string error = CBytePattern::Parse(text, use, pattern);
    EXPECT_EQ(error, "") << text;
    return pattern;
}

TEST(BytePatternTest, MatchesWholeBeginningsAndMisses) {
    const struct {
        const char* pattern;
        Bytes bytes;
        Fit fit;
    } cases[] = {
        {"01 03", {0x01, 0x03}, Fit::Whole},
        {"0103", {0x01}, Fit::Prefix},
        {"01 03", {0x01, 0x04}, Fit::None},
        {"01 03", {0x01, 0x03, 0x00}, Fit::None},
        {"01 ?? 03", {0x01, 0xFF, 0x03}, Fit::Whole},
        {"\"ok\" 0D", {'o', 'k', 0x0D}, Fit::Whole},
        {"\"ok\"", {'o', 'K'}, Fit::None},
        {"02 * 03", {0x02, 0x03}, Fit::Whole},
        {"02 * 03", {0x02, 0x03, 0x07, 0x03}, Fit::Whole},
        {"02 * 03", {0x02, 0x07, 0x08}, Fit::Prefix},
        {"02 * 03 04", {0x02, 0x03, 0x05}, Fit::Prefix}, // the run may take 03 05
        // 01 03 00 00 00 01 with its CRC 84 0A, low byte first
        {"01 03 ?? ?? 00 ?? crc16-modbus", {1, 3, 0, 0, 0, 1, 0x84, 0x0A}, Fit::Whole},
        {"01 03 ?? ?? 00 ?? crc16-modbus", {1, 3, 0, 0, 0, 1, 0x84}, Fit::Prefix},
        {"01 03 ?? ?? 00 ?? crc16-modbus", {1, 3, 0, 0, 0, 1, 0x0A, 0x84}, Fit::None},
        {"01 03 ?? ?? 00 ?? crc16-modbus:be", {1, 3, 0, 0, 0, 1, 0x0A, 0x84}, Fit::Whole},
        {"02 * crc16-modbus", {0x02, 0x41, 0x71, 0x03}, Fit::Prefix},
        {"\"A\" xor8", {'A', 'A'}, Fit::Whole},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parsed(c.pattern, CBytePattern::Use::Match).Match(c.bytes), c.fit)
            << c.pattern << " against " << c.bytes.size() << " bytes";
}

TEST(BytePatternTest, AnswersTakeCapturesAndComputeTheirChecksums) {
    const Bytes matched = {0x01, 0x03, 0x00, 0x10, 0x00, 0x01, 0x85, 0xCF};
    const struct {
        const char* pattern;
        Bytes answer;
    } cases[] = {
        {"06", {0x06}},
        {"01 03 02 $4 $3", {0x01, 0x03, 0x02, 0x10, 0x00}},
        {"01 03 02 00 2A crc16-modbus", {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B}},
        {"\"root\" 0D", {'r', 'o', 'o', 't', 0x0D}},
        {"$1 $9", {0x01}}, // a capture past the matched bytes is left out
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parsed(c.pattern, CBytePattern::Use::Answer).Build(matched), c.answer)
            << c.pattern;
}

TEST(BytePatternTest, RefusesWordsWithAReason) {
    const struct {
        const char* pattern;
        CBytePattern::Use use;
        const char* error;
    } cases[] = {
        {"", CBytePattern::Use::Match, "no bytes given"},
        {"01 \"abc", CBytePattern::Use::Match, "a quotation mark that is not closed"},
        {"012", CBytePattern::Use::Match, "\"012\" is no hex byte"},
        {"crc99", CBytePattern::Use::Match, "\"crc99\" is no hex byte"},
        {"$1", CBytePattern::Use::Match, "$1 goes in an answer"},
        {"??", CBytePattern::Use::Answer, "?? goes in a match"},
        {"$0", CBytePattern::Use::Answer, "$0: give $1 to $4096"},
        {"$x", CBytePattern::Use::Answer, "$x: give $1 to $4096"},
        {"01 * * 02", CBytePattern::Use::Match, "* * is one run"},
        {"\"\"", CBytePattern::Use::Match, "\"\" holds no text"},
    };
    for (const auto& c : cases) {
        CBytePattern pattern;
        EXPECT_EQ(CBytePattern::Parse(c.pattern, c.use, pattern).rfind(c.error, 0), 0u)
            << c.pattern << ": " << CBytePattern::Parse(c.pattern, c.use, pattern);
    }
}

} // namespace
} // namespace brivox
