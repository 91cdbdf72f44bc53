#include "serial/LineConfig.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace brivox {
namespace {

// The kernel's termios2 shares its bit values with the C library's termios on Linux, which is
// what lets this test read the encoding with the C library's names.
constexpr uint32_t kBother = 0010000;

TEST(LineConfigTest, EncodesDataBitsParityStopBitsWithoutFlowControl) {
    const struct {
        CLineConfig line;
        uint32_t size;
        uint32_t parity;
        uint32_t stop;
    } cases[] = {
        {{9600, 8, 'N', 1}, CS8, 0, 0},
        {{9600, 7, 'E', 2}, CS7, PARENB, CSTOPB},
        {{9600, 8, 'O', 1}, CS8, PARENB | PARODD, 0},
        {{9600, 7, 'O', 2}, CS7, PARENB | PARODD, CSTOPB},
    };
    for (const auto& c : cases) {
        CTermiosFlags flags;
        flags.cflag = HUPCL | CRTSCTS | PARODD | CSTOPB | CS5;
        flags.iflag = IXON | IXOFF | ICRNL;
        flags.lflag = ICANON | ECHO;
        flags.oflag = OPOST;
        EncodeLine(c.line, flags);
        EXPECT_EQ(flags.cflag & CSIZE, c.size) << c.line.dataBits;
        EXPECT_EQ(flags.cflag & (PARENB | PARODD), c.parity) << c.line.parity;
        EXPECT_EQ(flags.cflag & CSTOPB, c.stop) << c.line.stopBits;
        EXPECT_EQ(flags.cflag & (CRTSCTS | CLOCAL | CREAD | HUPCL),
                  static_cast<uint32_t>(CLOCAL | CREAD | HUPCL));
        EXPECT_EQ(flags.iflag, c.parity != 0 ? static_cast<uint32_t>(INPCK) : 0u);
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
        EncodeLine({c.rate, 8, 'N', 1}, flags);
        EXPECT_EQ(flags.cflag & CBAUD, c.code) << c.rate;
        EXPECT_EQ(flags.ospeed, c.rate);
        EXPECT_EQ(flags.ispeed, c.rate);
        EXPECT_EQ(DecodeLine(flags).baud, c.rate);
    }
}

} // namespace
} // namespace brivox
