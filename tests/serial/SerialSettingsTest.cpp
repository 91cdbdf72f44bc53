#include "serial/SerialSettings.h"

#include "serial/LineConfig.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

TEST(SerialSettingsTest, SettingsTextSplitsIntoFourFields) {
    const struct {
        const char* text;
        int32_t baud;
        const char* parity;
        const char* dataBits;
        const char* stopBits;
        const char* readBack;
    } cases[] = {
        {"9600,N,8,1", 9600, "None", "8", "1", "9600,N,8,1"},
        {"115200,E,7,2", 115200, "Even", "7", "2", "115200,E,7,2"},
        {"256000,O,8,2", 256000, "Odd", "8", "2", "256000,O,8,2"},
        // A parity letter nobody knows is kept and left out of the text.
        {"600,?,8,1", 600, "?", "8", "1", "600,8,1"},
        {"19200x,n,8,1", 19200, "n", "8", "1", "19200,8,1"},
        {",,,", 0, "", "", "", "0,,"},
    };
    for (const auto& c : cases) {
        CSerialSettings settings;
        settings.SetSettings(c.text);
        EXPECT_EQ(settings.GetBaud(), c.baud) << c.text;
        EXPECT_EQ(settings.GetParity(), c.parity) << c.text;
        EXPECT_EQ(settings.GetDataBits(), c.dataBits) << c.text;
        EXPECT_EQ(settings.GetStopBits(), c.stopBits) << c.text;
        EXPECT_EQ(settings.GetSettings(), c.readBack) << c.text;
    }
}

TEST(SerialSettingsTest, AnyOtherNumberOfFieldsChangesNothing) {
    CSerialSettings settings;
    settings.SetSettings("4800,E,7,2");
    for (const char* text : {"9600,N,8", "9600,N,8,1,1", "", "9600"}) {
        settings.SetSettings(text);
        EXPECT_EQ(settings.GetSettings(), "4800,E,7,2") << text;
    }
    settings.SetCommPort(10);
    EXPECT_EQ(settings.GetCommPort(), 10);
}

TEST(SerialSettingsTest, LineTakesOnlyTheKnownTexts) {
    const struct {
        const char* text;
        CLineConfig line;
    } cases[] = {
        {"9600,N,8,1", {9600, 8, 'N', StopBits::One}},
        {"115200,E,7,2", {115200, 7, 'E', StopBits::Two}},
        {"1200,O,8,1", {1200, 8, 'O', StopBits::One}},
        {"1200,?,7,1", {1200, 7, 'N', StopBits::One}},
        {"1200,None,6,3", {1200, 6, 'N', StopBits::One}},
        {"1200,even,x,", {1200, 8, 'N', StopBits::One}},
        {"250000,M,5,1.5", {250000, 5, 'M', StopBits::OneAndHalf}},
        {"9600,S,4,2", {9600, 8, 'S', StopBits::Two}},
    };
    for (const auto& c : cases) {
        CSerialSettings settings;
        settings.SetSettings(c.text);
        EXPECT_EQ(LineConfigFor(settings), c.line) << c.text;
    }
}

} // namespace
} // namespace brivox
