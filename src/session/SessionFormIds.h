#pragma once

// Control ids of the session form (dialog 130).
namespace brivox::idc {

constexpr int kPort = 1000;
constexpr int kBaud = 1001;
constexpr int kOpenClose = 1002;
constexpr int kMode = 1003;
constexpr int kFunction = 1004;
constexpr int kSend = 1006;
constexpr int kViewType = 1008;
constexpr int kProtocolGroup = 1009;
constexpr int kTxRxGroup = 1010;
constexpr int kGuide = 1011;
constexpr int kHelpText = 1012;
constexpr int kModeLabel = 1014;
constexpr int kTxRxList = 1015;
constexpr int kInput = 1016;
constexpr int kClearAfterSending = 1017;
constexpr int kRxList = 1018;
constexpr int kRts = 1019;
constexpr int kDtr = 1020;
constexpr int kStartAddress = 1023;
constexpr int kLength = 1024;
constexpr int kSlaveAddress = 1025;
constexpr int kFunctionLabel = 1026;
constexpr int kWordData = 1027;
constexpr int kWordDataLabel = 1028;
constexpr int kBitOn = 1029;
constexpr int kRxGroup = 1030;
constexpr int kBitsData = 1031;
constexpr int kWordsData = 1032;
constexpr int kBitsDataLabel = 1033;
constexpr int kWordsDataLabel = 1034;
constexpr int kBanner = 1035;
constexpr int kStartAddressLabel = 1036;
constexpr int kSlaveAddressLabel = 1037;
constexpr int kLengthLabel = 1038;
constexpr int kStopDisplay = 1039;
constexpr int kTestSend = 1041;
constexpr int kTestSendText = 1042;
constexpr int kClearRx = 1044;
constexpr int kBrowse = 1047;
constexpr int kFileProgress = 1050;
constexpr int kFilePath = 1051;
constexpr int kFileResult = 1052;
constexpr int kRepeat = 1053;
constexpr int kRepeatCycle = 1054;
constexpr int kByteDelay = 1056;
constexpr int kParity = 1058;
constexpr int kDataBits = 1059;
constexpr int kStopBits = 1062;
constexpr int kHistory = 1060;
constexpr int kUnnamed = -1; // labels nothing refers to

} // namespace brivox::idc
