#include "testbench/DeviceTestFile.h"

#include "modbus/ModbusFrame.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DeviceTestFile, ReadsDetailAndModbusCasesWithTheirSettings) {
    std::vector<CDeviceTest> tests;
    ASSERT_EQ(ParseDeviceTests("# bench\r\n"
                               "case ping & echo\r\n"
                               "  detail 05 <06>\n"
                               "  timeout 250\n"
                               "\n"
                               "case coils\n"
                               "modbus ascii --function 01 --slave 2 --start 0010 --length 3\n"
                               "expect 1 0 1\n"
                               "repeat 4\n"
                               "break 300\n"
                               "case registers\n"
                               "modbus rtu \"--function=03\" --slave 1 --start 0000 --length 2\n"
                               "expect 0000 FFFF\n"
                               "case refused\n"
                               "modbus rtu --function 06 --slave 1 --start 0001 --word 0002\n"
                               "expect exception 03\n",
                               tests),
              "");
    ASSERT_EQ(tests.size(), 4u);
    EXPECT_EQ(tests[0].name, "ping & echo");
    EXPECT_EQ(tests[0].line, 2);
    EXPECT_EQ(tests[0].kind, CDeviceTest::Kind::Detail);
    EXPECT_EQ(tests[0].items.size(), 2u);
    EXPECT_EQ(tests[0].timeoutMs, 250);
    EXPECT_EQ(tests[1].kind, CDeviceTest::Kind::Modbus);
    EXPECT_TRUE(tests[1].ascii);
    EXPECT_EQ(tests[1].repeat, 4);
    EXPECT_EQ(tests[1].breakMs, 300);
    EXPECT_EQ(tests[0].breakMs, 0);
    EXPECT_EQ(tests[1].expectedReply, AsciiFrameOf({2, 0x01, 0x01, 0x05}));
    EXPECT_EQ(tests[2].items.front().bytes.ToVector(),
              RtuFrameOf({1, 0x03, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_EQ(tests[2].expectedReply, RtuFrameOf({1, 0x03, 0x04, 0x00, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(tests[3].expectedReply, RtuFrameOf({1, 0x86, 0x03}));
    EXPECT_EQ(tests[3].timeoutMs, 0);
    EXPECT_EQ(tests[3].repeat, 1);
}

TEST(DeviceTestFile, ExpectMatchTakesAPatternAfterEitherKindOfRequest) {
    std::vector<CDeviceTest> tests;
    ASSERT_EQ(ParseDeviceTests("case prompt\ndetail 0D\nexpect-match \"login:\"\n"
                               "case read\nmodbus rtu --function 03 --length 1\n"
                               "expect-match 01 03 02 ?? ?? crc16-modbus\n",
                               tests),
              "");
    ASSERT_EQ(tests.size(), 2u);
    EXPECT_EQ(tests[0].expectMatch.Match({'l', 'o', 'g', 'i', 'n', ':'}), CBytePattern::Fit::Whole);
    EXPECT_EQ(tests[1].expectMatch.MinimumSize(), 7u);
    EXPECT_TRUE(tests[1].expectedReply.empty());
}

TEST(DeviceTestFile, ErrorsNameTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "the file holds no case (start one with: case NAME)"},
        {"detail 41\n", "line 1: \"detail\" outside a case (start one with: case NAME)"},
        {"case a\n\ncase b\ndetail 41\n", "line 1: case \"a\" has no detail or modbus line"},
        {"case a\ndetail 41\nrepeat 0\n", "line 3: repeat 0: give a whole number from 1 to 100000"},
        {"case a\ndetail 41\ntimeout 5\ntimeout 6\n", "line 4: a case holds one timeout line"},
        {"case a\ndetail 41\nbreak 10001\n",
         "line 3: break 10001: give a whole number from 1 to 10000"},
        {"case a\nbreak 5\nbreak 6\ndetail 41\n", "line 3: a case holds one break line"},
        {"case a\ndetail 41  42\n", "line 2: syntax error at column 11: Unrecognized character"},
        {"case a\ndetail 41\nexpect 0001\n", "line 3: expect goes after a modbus line (a Detail "
                                             "script says what it expects in <>)"},
        {"case a\nmodbus rtu --function 03 --length 2\nexpect 0001\n",
         "line 3: expect gives 1 registers, the request reads 2"},
        {"case a\nmodbus rtu --function 01 --length 2\nexpect 1 2\n",
         "line 3: expect 2: give each coil as 0 or 1"},
        {"case a\nmodbus rtu --function 05\nexpect 1\n",
         "line 3: a write's reply echoes the request: give expect only for reads, or expect "
         "exception CODE"},
        {"case a\nmodbus rtu --function 03 --slave 0\nexpect exception 02\n",
         "line 3: a broadcast (slave 0) gets no reply to expect"},
        {"case a\nmodbus rtu --colour red\n", "line 2: unknown MODBUS field --colour"},
        {"case a\nmodbus rtu --bits \"CD 01\n", "line 2: a quotation mark that is not closed"},
        {"case a\nmodbus tcp --function 03\n",
         "line 2: give modbus rtu|ascii and the fields of the request"},
        {"case a\ndetail 41\nsend 42\n", "line 3: unknown line \"send\""},
        {"case a\nexpect-match 06\ndetail 41\n",
         "line 2: expect-match goes after a detail or modbus line"},
        {"case a\ndetail 41 <06>\nexpect-match 06\n",
         "line 3: the detail script says what it expects in <> already"},
        {"case a\ndetail 41\nexpect-match 06 $1\n", "line 3: expect-match: $1 goes in an answer"},
        {"case a\nmodbus rtu --function 03 --length 1\nexpect 0001\nexpect-match 01 *\n",
         "line 4: a case holds one expect or expect-match line"},
    };
    for (const auto& c : cases) {
        std::vector<CDeviceTest> tests;
        const std::string error = ParseDeviceTests(c.text, tests);
        EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error) << c.text;
    }
}

} // namespace
} // namespace brivox
