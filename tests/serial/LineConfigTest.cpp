#include "serial/LineConfig.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace brivox {
namespace {

// The kernel's termios2 shares its bit values with the C library's termios on Linux, which is
// what lets this test read the encoding with the C library's names.
constexpr uint32_t kBother = 0010000;

using Stop = StopBits;
using Flow = FlowControl;

TEST(LineConfigTest, EncodesDataBitsParityStopBitsAndFlowControl) {
    const struct {
        CLineConfig line;
        uint32_t size;
        uint32_t parity;
        uint32_t stop;
        uint32_t flowC = 0; // cflag
        uint32_t flowI = 0; // iflag
    } cases[] = {
        {{9600, 8, 'N', Stop::One}, CS8, 0, 0},
        {{9600, 7, 'E', Stop::Two}, CS7, PARENB, CSTOPB},
        {{9600, 8, 'O', Stop::One}, CS8, PARENB | PARODD, 0},
        {{9600, 7, 'O', Stop::Two}, CS7, PARENB | PARODD, CSTOPB},
        {{9600, 8, 'M', Stop::One}, CS8, PARENB | PARODD | CMSPAR, 0},
        {{9600, 8, 'S', Stop::One}, CS8, PARENB | CMSPAR, 0},
        {{9600, 5, 'N', Stop::OneAndHalf}, CS5, 0, CSTOPB},
        {{9600, 6, 'N', Stop::Two}, CS6, 0, CSTOPB},
        {{9600, 8, 'N', Stop::One, Flow::RtsCts}, CS8, 0, 0, CRTSCTS},
        {{9600, 8, 'N', Stop::One, Flow::XonXoff}, CS8, 0, 0, 0, IXON | IXOFF},
    };
    for (const auto& c : cases) {
        CTermiosFlags flags;
        flags.cflag = HUPCL | CRTSCTS | PARODD | CSTOPB | CS5;
        flags.iflag = IXON | IXOFF | ICRNL;
        flags.lflag = ICANON | ECHO;
        flags.oflag = OPOST;
        EncodeLine(c.line, flags);
        EXPECT_EQ(flags.cflag & CSIZE, c.size) << c.line.dataBits;
        EXPECT_EQ(flags.cflag & (PARENB | PARODD | CMSPAR), c.parity) << c.line.parity;
        EXPECT_EQ(flags.cflag & CSTOPB, c.stop) << LineConfigText(c.line);
        EXPECT_EQ(flags.cflag & (CRTSCTS | CLOCAL | CREAD | HUPCL),
                  static_cast<uint32_t>(CLOCAL | CREAD | HUPCL) | c.flowC);
        EXPECT_EQ(flags.iflag, (c.parity != 0 ? static_cast<uint32_t>(INPCK) : 0u) | c.flowI);
        EXPECT_EQ(flags.lflag, 0u);
        EXPECT_EQ(flags.oflag, 0u);
        EXPECT_EQ(DecodeLine(flags), c.line);
    }
}

TEST(LineConfigTest, RatesWithoutABConstantGoThroughBother) {
    const struct {
        uint32_t rate;
        uint32_t code;
    } cases[] = {
        {600, B600},      {9600, B9600},     {115200, B115200}, {28800, kBother},
        {76800, kBother}, {128000, kBother}, {256000, kBother}, {230400, B230400},
    };
    for (const auto& c : cases) {
        CTermiosFlags flags;
        flags.cflag = B38400;
        EncodeLine({c.rate, 8, 'N', Stop::One}, flags);
        EXPECT_EQ(flags.cflag & CBAUD, c.code) << c.rate;
        EXPECT_EQ(flags.ospeed, c.rate);
        EXPECT_EQ(flags.ispeed, c.rate);
        EXPECT_EQ(DecodeLine(flags).baud, c.rate);
    }
}

TEST(LineConfigTest, SettingsTextsOfEveryLineAndWhyOthersAreRefused) {
    const struct {
        const char* text;
        const char* error; // the start of the message; empty: read
        CLineConfig line;
    } cases[] = {
        {"250000,M,5,1.5", "", {250000, 5, 'M', Stop::OneAndHalf}},
        {"31250,N,8,1", "", {31250, 8, 'N', Stop::One}},
        {"12000000,S,6,2", "", {12000000, 6, 'S', Stop::Two}},
        {"50,E,7,1", "", {50, 7, 'E', Stop::One}},
        {"49,N,8,1", "baud 49: give a rate from 50 to 12000000", {}},
        {"12000001,N,8,1", "baud 12000001", {}},
        {"9600,X,8,1", "parity X: give N, E, O, M (mark) or S (space)", {}},
        {"9600,N,4,1", "data bits 4: give 5, 6, 7 or 8", {}},
        {"9600,N,8,3", "stop bits 3: give 1, 1.5 or 2", {}},
        {"9600,N,8", "give BAUD,PARITY,DATA,STOP", {}},
    };
    for (const auto& c : cases) {
        CLineConfig line;
        const std::string error = ParseLineConfig(c.text, line);
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << ": " << error;
        if (std::string(c.error).empty()) {
            EXPECT_EQ(line, c.line) << c.text;
            EXPECT_EQ(LineConfigText(line), c.text);
        }
    }
    EXPECT_EQ(LineRefusal({9600, 8, 'N', Stop::OneAndHalf}),
              "1.5 stop bits: a serial line has them only with 5 data bits");
    EXPECT_EQ(LineRefusal({9600, 5, 'N', Stop::OneAndHalf}), "");
    EXPECT_EQ(CharacterTime({9600, 8, 'N', Stop::One}), std::chrono::nanoseconds(1'041'666));
    EXPECT_EQ(CharacterTime({9600, 7, 'E', Stop::Two}), std::chrono::nanoseconds(1'145'833));
    EXPECT_EQ(CharacterTime({1000, 5, 'N', Stop::OneAndHalf}), std::chrono::microseconds(7500));
}

TEST(LineConfigTest, ARateTheAdapterRoundsByMoreThanTwoPercentIsSaid) {
    EXPECT_EQ(RateDeviation(250000, 249600), "");
    EXPECT_EQ(RateDeviation(250000, 250000), "");
    EXPECT_EQ(RateDeviation(74880, 76800), "asked 74880, the adapter runs at 76800, +2.6 %");
    EXPECT_EQ(RateDeviation(3000000, 2000000),
              "asked 3000000, the adapter runs at 2000000, -33.3 %");
}

} // namespace
} // namespace brivox
