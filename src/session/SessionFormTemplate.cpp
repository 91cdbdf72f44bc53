#include "session/SessionFormTemplate.h"

#include "session/SessionFormIds.h"

namespace brivox {

namespace {

using K = ControlKind;
using namespace idc;

// Left: the port and its line; right: the "Protocol" frame with the mode, the MODBUS fields (the
// input box takes their place in the text modes) and sending; below: the two lists, the banner.
std::vector<CControlTemplate> Controls() {
    return {
        // Frames first, so that they stay behind what they surround.
        {kProtocolGroup, K::GroupBox, "Protocol", 150, 2, 284, 166, ctl::kGroupBox},
        {kTxRxGroup, K::GroupBox, "TX && RX", 4, 170, 429, 72, ctl::kGroupBox},
        {kRxGroup, K::GroupBox, "RX", 4, 244, 429, 72, ctl::kGroupBox},

        {kPort, K::ComboBox, "", 4, 4, 66, 120, ctl::kSorted},
        {kBaud, K::ComboBox, "", 74, 4, 42, 120},
        {kOpenClose, K::PushButton, "Open Port", 120, 3, 28, 14, ctl::kPushButton},
        {kHistory, K::PushButton, "History ..", 4, 20, 56, 14, ctl::kPushButton},
        {kGuide, K::PushButton, "?", 64, 20, 16, 14, ctl::kPushButton},
        {kViewType, K::ComboBox, "", 4, 40, 32, 60},
        {kParity, K::ComboBox, "", 40, 40, 46, 60},
        {kDataBits, K::ComboBox, "", 90, 40, 56, 60},
        {kStopBits, K::ComboBox, "", 4, 56, 56, 60},
        {kRts, K::CheckBox, "RTS", 66, 57, 34, 10, ctl::kAutoCheckBox},
        {kDtr, K::CheckBox, "DTR", 104, 57, 34, 10, ctl::kAutoCheckBox},
        {kRepeat, K::CheckBox, "Repeat :    Cycle(ms)", 4, 93, 84, 10, ctl::kAutoCheckBox},
        {kRepeatCycle, K::Edit, "", 90, 92, 40, 12, ctl::kDigitsOnly},
        {kUnnamed, K::Static, "Delay between bytes", 4, 108, 84, 8},
        {kByteDelay, K::Edit, "", 90, 106, 28, 12, ctl::kDigitsOnly},
        {kUnnamed, K::Static, "(ms, maximum:500)", 4, 120, 100, 8},

        {kModeLabel, K::Static, "Mode", 156, 15, 22, 8},
        {kMode, K::ComboBox, "", 180, 13, 110, 100, ctl::kDisabled},
        {kClearAfterSending, K::CheckBox, "Clear after sending", 294, 13, 80, 10,
         ctl::kAutoCheckBox},
        {kTestSend, K::CheckBox, "Test\nSend", 380, 13, 48, 18,
         ctl::kAutoCheckBox | ctl::kPushLike},
        {kTestSendText, K::Static,
         "Sending 1K bytes of random data for transfer test at every 5 second.", 156, 52, 228, 18},

        {kFunctionLabel, K::Static, "Function", 156, 38, 30, 8},
        {kFunction, K::ComboBox, "", 188, 36, 110, 100},
        {kStartAddressLabel, K::Static, "Start Address(Hex)", 156, 52, 62, 8},
        {kStartAddress, K::Edit, "", 218, 50, 26, 12},
        {kSlaveAddressLabel, K::Static, "Slave Address(Dec)", 252, 52, 62, 8},
        {kSlaveAddress, K::Edit, "", 314, 50, 26, 12},
        {kLengthLabel, K::Static, "Length(Dec)", 156, 66, 62, 8},
        {kLength, K::Edit, "", 218, 64, 26, 12},
        {kWordDataLabel, K::Static, " Word Data(Hex)", 252, 66, 62, 8},
        {kWordData, K::Edit, "", 314, 64, 26, 12},
        {kBitOn, K::CheckBox, "Bit On", 348, 65, 40, 10, ctl::kAutoCheckBox},
        {kBitsDataLabel, K::Static, "Bits Data In Hexa Format (ex: D1 05 3F ...)", 156, 80, 228, 8},
        {kBitsData, K::Edit, "", 156, 90, 272, 12},
        {kWordsDataLabel, K::Static, "Multiple Word Data (ex: D103 0A12 0405 ...)", 156, 106, 228,
         8},
        {kWordsData, K::Edit, "", 156, 116, 272, 12},

        {kFilePath, K::Edit, "", 156, 50, 248, 24, ctl::kMultiLine | ctl::kReadOnly},
        {kBrowse, K::PushButton, "..", 408, 50, 20, 14, ctl::kPushButton},
        {kFileResult, K::Static, "", 156, 78, 272, 16},
        {kFileProgress, K::ProgressBar, "", 156, 96, 272, 8, ctl::kHidden},

        {kHelpText, K::Static, "", 156, 136, 226, 30},
        {kSend, K::PushButton, "Send", 388, 134, 40, 14, ctl::kPushButton},
        {kInput, K::RichEdit, "", 156, 36, 272, 94},

        {kTxRxList, K::ListView, "", 8, 182, 421, 56},
        // Inside the frame, clear of its top line.
        {kStopDisplay, K::CheckBox, "Stop", 344, 251, 36, 10, ctl::kAutoCheckBox},
        {kClearRx, K::PushButton, "Clear", 384, 250, 44, 11, ctl::kPushButton},
        {kRxList, K::ListView, "", 8, 263, 421, 49},
        {kBanner, K::Static, "", 4, 319, 429, 8},
    };
}

} // namespace

const CDialogTemplate& SessionFormTemplate() {
    static const CDialogTemplate dialog{130, "", 437, 330, "Liberation Sans", 8, Controls()};
    return dialog;
}

} // namespace brivox
