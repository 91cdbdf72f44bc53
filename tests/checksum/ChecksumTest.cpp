#include "checksum/Checksum.h"

#include "checksum/Crc.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brivox {
namespace {

const std::string kCheck = "123456789";

const uint8_t* CheckData() {
    return reinterpret_cast<const uint8_t*>(kCheck.data());
}

TEST(ChecksumTest, PresetsGiveTheCatalogueCheckValues) {
    const struct {
        const char* name;
        uint64_t check;
    } cases[] = {
        {"crc8", 0xF4},
        {"crc8-maxim", 0xA1},
        {"crc16-modbus", 0x4B37},
        {"crc16-ccitt-false", 0x29B1},
        {"crc16-xmodem", 0x31C3},
        {"crc16-kermit", 0x2189},
        {"crc32", 0xCBF43926},
        {"crc32c", 0xE3069283},
        {"lrc", 0x23},
        {"sum8", 0xDD},
        {"xor8", 0x31},
    };
    for (const auto& c : cases) {
        const CChecksum checksum = CChecksum::ByName(c.name);
        ASSERT_TRUE(checksum.Valid()) << c.name << ": " << checksum.Error();
        EXPECT_EQ(checksum.Value(CheckData(), kCheck.size()), c.check) << c.name;
    }
    EXPECT_EQ(CChecksum::Names().size(), std::size(cases));
}

TEST(ChecksumTest, EngineCoversOtherWidthsOfTheCatalogue) {
    const struct {
        CCrcParams params;
        uint64_t check;
    } cases[] = {
        {{3, 0x3, 0x7, true, true, 0x0}, 0x6},                        // CRC-3/ROHC
        {{5, 0x09, 0x09, false, false, 0x00}, 0x00},                  // CRC-5/EPC-C1G2
        {{7, 0x09, 0x00, false, false, 0x00}, 0x75},                  // CRC-7/MMC
        {{12, 0x80F, 0x000, false, true, 0x000}, 0xDAF},              // CRC-12/UMTS
        {{24, 0x864CFB, 0xB704CE, false, false, 0x000000}, 0x21CF02}, // CRC-24/OPENPGP
        {{64, 0x42F0E1EBA9EA3693, ~uint64_t{0}, true, true, ~uint64_t{0}},
         0x995DC9BBDF1939FA}, // CRC-64/XZ
    };
    for (const auto& c : cases)
        EXPECT_EQ(CCrc(c.params).Compute(CheckData(), kCheck.size()), c.check) << c.params.width;
}

TEST(ChecksumTest, ByteOrderFollowsTheProtocolUnlessNamed) {
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"crc16-modbus", {0x37, 0x4B}},
        {"crc16-modbus:be", {0x4B, 0x37}},
        {"crc16-xmodem", {0x31, 0xC3}},
        {"crc16-xmodem:le", {0xC3, 0x31}},
        {"crc32", {0x26, 0x39, 0xF4, 0xCB}},
        {"crc32:be", {0xCB, 0xF4, 0x39, 0x26}},
        {"crc8", {0xF4}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CChecksum::ByName(c.name).Bytes(CheckData(), kCheck.size()), c.bytes) << c.name;
}

TEST(ChecksumTest, BadNamesAreRefusedWithAReason) {
    const struct {
        const char* name;
        const char* error;
    } cases[] = {
        {"crc17", "unknown checksum \"crc17\""},
        {"", "unknown checksum \"\""},
        {"crc32:middle", "byte order \"middle\" is neither be nor le"},
        {"crc32:", "byte order \"\" is neither be nor le"},
    };
    for (const auto& c : cases) {
        const CChecksum checksum = CChecksum::ByName(c.name);
        EXPECT_FALSE(checksum.Valid()) << c.name;
        EXPECT_EQ(checksum.Error(), c.error) << c.name;
    }
}

} // namespace
} // namespace brivox
