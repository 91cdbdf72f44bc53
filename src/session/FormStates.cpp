#include "session/FormStates.h"

#include "script/InputMode.h"
#include "session/SessionFormIds.h"
#include "util/Text.h"

#include <initializer_list>

namespace brivox {

namespace {

using namespace idc;

constexpr int kOneBitWrite = 1;
constexpr int kOneWordWrite = 3;
constexpr int kMultipleBitWrite = 4;
constexpr int kMultipleWordWrite = 5;

bool OneOf(int id, std::initializer_list<int> ids) {
    for (const int candidate : ids) {
        if (candidate == id)
            return true;
    }
    return false;
}

bool IsModbusMode(int mode) {
    return mode == kModbusAsciiMode || mode == kModbusRtuMode;
}
bool IsTextMode(int mode) {
    return mode >= 0 && mode <= 3;
}

} // namespace

const std::initializer_list<int> kModbusFields = {kFunctionLabel,
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

const std::vector<int>& StatefulControlIds() {
    static const std::vector<int> ids = [] {
        std::vector<int> all(kModbusFields);
        all.insert(all.end(),
                   {kInput,      kHelpText,     kModeLabel,    kMode,          kClearAfterSending,
                    kSend,       kGuide,        kTestSendText, kFilePath,      kBrowse,
                    kFileResult, kFileProgress, kHistory,      kProtocolGroup, kPort,
                    kBaud,       kOpenClose,    kRepeatCycle,  kRepeat,        kTestSend});
        return all;
    }();
    return ids;
}

bool IsControlShown(int id, const CFormConditions& c) {
    if (OneOf(id, kModbusFields))
        return IsModbusMode(c.mode) && !c.testSend;
    if (OneOf(id, {kInput, kHelpText}))
        return IsTextMode(c.mode) && !c.testSend;
    if (OneOf(id, {kModeLabel, kMode, kClearAfterSending, kSend}))
        return !c.testSend;
    if (id == kGuide)
        return c.mode == kDetailMode && !c.testSend;
    if (id == kTestSendText)
        return c.testSend;
    if (OneOf(id, {kFilePath, kBrowse, kFileResult}))
        return c.mode == kFileMode && !c.testSend;
    if (id == kFileProgress)
        return false;
    if (id == kHistory)
        return c.mode >= 1 && c.mode <= 3;
    return true;
}

bool IsControlEnabled(int id, const CFormConditions& c) {
    if (!IsControlShown(id, c))
        return false;
    const bool open = c.portOpen;
    switch (id) {
    case kSend:
        return open && !c.repeat && c.mode != kKeyStrokeMode;
    case kFunction:
    case kFunctionLabel:
    case kStartAddressLabel:
    case kStartAddress:
    case kSlaveAddressLabel:
    case kSlaveAddress:
    case kModeLabel:
    case kHelpText:
    case kInput:
    case kProtocolGroup:
        return open;
    case kMode:
        return open && !c.repeat;
    case kClearAfterSending:
        return open && !c.repeat && IsTextMode(c.mode);
    case kWordData:
    case kWordDataLabel:
        return c.function == kOneWordWrite;
    case kBitOn:
        return c.function == kOneBitWrite;
    case kLength:
    case kLengthLabel:
        return open && !OneOf(c.function, {kOneBitWrite, kOneWordWrite, kMultipleWordWrite});
    case kBitsData:
    case kBitsDataLabel:
        return open && c.function == kMultipleBitWrite;
    case kWordsData:
    case kWordsDataLabel:
        return open && c.function == kMultipleWordWrite;
    case kPort:
    case kBaud:
    case kOpenClose:
        return !c.testSend && !c.repeat;
    case kFilePath:
    case kBrowse:
        return open && c.mode == kFileMode;
    case kRepeatCycle:
        return c.mode != kKeyStrokeMode && !c.testSend && !c.repeat;
    case kRepeat:
        return open && c.mode != kKeyStrokeMode && !c.testSend;
    case kTestSend:
        return open && !c.repeat;
    default:
        return true;
    }
}

std::string ModeHelpText(int mode) {
    switch (mode) {
    case 0:
        return "Send instantly character-by-character as you type letters.";
    case 1:
        return "ex)  41 42 4F                   ex)  \"DALMENO\" 0D 0A\r\n"
               "ex)  05 <06 00 10>          ex)  05 <06 ? ?> 3F 2A\n"
               "ex)  D3 FF 98; 255;";
    case 2:
        return "Quotation marks are not needed.\r\n O)  DALMENO\r\n X)  \"DALMENO\"";
    case 3:
        return "You don't have to attach ';' character.\r\n O)  5 231 255 129 99\r\n X)  5; 231; "
               "255; 129; 99;";
    case 6:
        return "Browse the file to send from your disk.";
    default:
        return "";
    }
}

const char kBaudRateItems[] =
    "600|1200|2400|4800|9600|19200|28800|38400|57600|76800|115200|128000|256000";

std::string BaudRateText(int baudIndex) {
    const std::vector<std::string> rates = SplitText(kBaudRateItems, "|");
    return baudIndex >= 0 && baudIndex < static_cast<int>(rates.size()) ? rates[baudIndex] : "";
}

std::string SettingsTextFromIndexes(int baud, int parity, int dataBits, int stopBits) {
    static const char parityLetters[] = {'N', 'O', 'E'};
    const char letter = parity >= 0 && parity <= 2 ? parityLetters[parity] : '?';
    return BaudRateText(baud) + "," + letter + "," + (dataBits == 0 ? "7" : "8") + "," +
           (stopBits == 0 ? "1" : "2");
}

} // namespace brivox
