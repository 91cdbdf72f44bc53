#include "session/FormStates.h"

#include "session/SessionFormIds.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using namespace idc;

const std::vector<int> kModbusControls = {kFunctionLabel,
                                          kFunction,
                                          kStartAddressLabel,
                                          kStartAddress,
                                          kSlaveAddressLabel,
                                          kSlaveAddress,
                                          kLengthLabel,
                                          kLength,
                                          kWordDataLabel,
                                          kWordData,
                                          kBitOn,
                                          kBitsDataLabel,
                                          kBitsData,
                                          kWordsData,
                                          kWordsDataLabel};

struct Expect {
    CFormConditions when;
    std::vector<int> shown;
    std::vector<int> hidden;
    std::vector<int> enabled = {};
    std::vector<int> disabled = {};
};

void Check(const Expect& e, const std::string& what) {
    for (const int id : e.shown)
        EXPECT_TRUE(IsControlShown(id, e.when)) << what << ": " << id << " shown";
    for (const int id : e.hidden) {
        EXPECT_FALSE(IsControlShown(id, e.when)) << what << ": " << id << " hidden";
        EXPECT_FALSE(IsControlEnabled(id, e.when)) << what << ": hidden " << id << " disabled";
    }
    for (const int id : e.enabled)
        EXPECT_TRUE(IsControlEnabled(id, e.when)) << what << ": " << id << " enabled";
    for (const int id : e.disabled)
        EXPECT_FALSE(IsControlEnabled(id, e.when)) << what << ": " << id << " disabled";
}

TEST(FormStates, ShownByModeAndTestSend) {
    Check({{.mode = 5, .portOpen = true}, kModbusControls, {kInput, kHelpText, kGuide, kHistory}},
          "MODBUS RTU");
    Check({{.mode = 4}, kModbusControls, {kInput, kTestSendText, kFilePath}}, "MODBUS ASCII");
    Check({{.mode = 1}, {kInput, kHelpText, kGuide, kHistory, kSend, kMode}, kModbusControls},
          "Detail");
    Check({{.mode = 2}, {kHistory, kInput}, {kGuide}}, "String");
    Check({{.mode = 0}, {kInput, kHelpText}, {kHistory, kGuide, kFilePath}}, "Key Stroke");
    Check({{.mode = 6}, {kFilePath, kBrowse, kFileResult}, {kInput, kHelpText, kFileProgress}},
          "File Transfer");
    Check({{.mode = 1, .testSend = true},
           {kTestSendText, kHistory, kPort, kRepeat},
           {kModeLabel, kMode, kClearAfterSending, kSend, kGuide, kInput, kHelpText}},
          "Detail with Test Send");
    Check({{.mode = 6, .testSend = true}, {kTestSendText}, {kFilePath, kBrowse, kFileResult}},
          "File Transfer with Test Send");
}

TEST(FormStates, EnabledByPortRepeatTestAndFunction) {
    Check(
        {{.mode = 1},
         {},
         {},
         {kPort, kBaud, kOpenClose, kRepeatCycle},
         {kSend, kMode, kInput, kHelpText, kProtocolGroup, kClearAfterSending, kRepeat, kTestSend}},
        "closed");
    Check({{.mode = 1, .portOpen = true},
           {},
           {},
           {kSend, kMode, kInput, kClearAfterSending, kRepeat, kTestSend, kRepeatCycle, kPort},
           {}},
          "open");
    Check({{.mode = 0, .portOpen = true},
           {},
           {},
           {kClearAfterSending},
           {kSend, kRepeat, kRepeatCycle}},
          "Key Stroke open");
    Check({{.mode = 1, .portOpen = true, .repeat = true},
           {},
           {},
           {kRepeat, kInput},
           {kSend, kMode, kClearAfterSending, kPort, kBaud, kOpenClose, kRepeatCycle, kTestSend}},
          "repeating");
    Check({{.mode = 1, .portOpen = true, .testSend = true},
           {},
           {},
           {kTestSend},
           {kPort, kBaud, kOpenClose, kRepeat, kRepeatCycle}},
          "test sending");
    Check({{.mode = 6, .portOpen = true}, {}, {}, {kFilePath, kBrowse}, {kClearAfterSending}},
          "file open");
    Check({{.mode = 6}, {}, {}, {}, {kFilePath, kBrowse}}, "file closed");
}

TEST(FormStates, ModbusFieldsFollowTheFunction) {
    const struct {
        int function;
        bool open;
        std::vector<int> enabled;
        std::vector<int> disabled;
    } cases[] = {
        {0,
         true,
         {kLength, kLengthLabel, kStartAddress, kSlaveAddress},
         {kWordData, kBitOn, kBitsData, kWordsData}},
        {1, true, {kBitOn}, {kLength, kWordData, kBitsData, kWordsData}},
        {3, true, {kWordData, kWordDataLabel}, {kLength, kBitOn}},
        {4, true, {kBitsData, kBitsDataLabel, kLength}, {kWordsData}},
        {5, true, {kWordsData, kWordsDataLabel}, {kLength, kBitsData}},
        {3, false, {kWordData}, {kStartAddress, kLength, kFunction}},
        {1, false, {kBitOn}, {kSlaveAddress}},
        {4, false, {}, {kBitsData}},
    };
    for (const auto& c : cases)
        Check({{.mode = 5, .function = c.function, .portOpen = c.open},
               {},
               {},
               c.enabled,
               c.disabled},
              "function " + std::to_string(c.function) + (c.open ? " open" : " closed"));
}

TEST(FormStates, TextsBuiltFromTheCombos) {
    EXPECT_EQ(SettingsTextFromIndexes(4, 0, 1, 0), "9600,N,8,1");
    EXPECT_EQ(SettingsTextFromIndexes(12, 1, 0, 1), "256000,O,7,2");
    EXPECT_EQ(SettingsTextFromIndexes(10, 2, 5, 3), "115200,E,8,2");
    EXPECT_EQ(SettingsTextFromIndexes(0, 7, 1, 0), "600,?,8,1");
    EXPECT_EQ(BaudRateText(6), "28800");
    EXPECT_EQ(BaudRateText(13), "");
    EXPECT_EQ(ModeHelpText(0), "Send instantly character-by-character as you type letters.");
    EXPECT_EQ(ModeHelpText(5), "");
}

} // namespace
} // namespace brivox
