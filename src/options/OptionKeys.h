#pragma once

// Names of the session options kept in the option stores and the settings file.
namespace brivox::opt {

inline constexpr char kBaudIndex[] = "GOPT.brindex";
inline constexpr char kModeIndex[] = "GOPT.jpdkind";
inline constexpr char kClearAfterSending[] = "GOPT.clear_jpdtext_after_sdsending";
inline constexpr char kModbusFunctionIndex[] = "GOPT.mdfcindex";
inline constexpr char kModbusStartAddress[] = "GOPT.mdstaddress";
inline constexpr char kModbusLength[] = "GOPT.mdlength";
inline constexpr char kModbusSlaveAddress[] = "GOPT.mdsladdress";
inline constexpr char kModbusWordData[] = "GOPT.mdwddata";
inline constexpr char kModbusBitOn[] = "GOPT.mdbiton";
inline constexpr char kEnableRts[] = "GOPT.enable_rts";
inline constexpr char kEnableDtr[] = "GOPT.enable_dtr";
inline constexpr char kBannerRequestTime[] = "GOPT.lgntisrtime";
inline constexpr char kBannerScript[] = "GOPT.gntiscript";
inline constexpr char kModbusBitsData[] = "GOPT.gmdthbyte";
inline constexpr char kModbusWordsData[] = "GOPT.gmdthword";
inline constexpr char kViewTypeIndex[] = "GOPT.rsdptype";
inline constexpr char kTransferFilePath[] = "GOPT.jflpath";
inline constexpr char kRepeatInterval[] = "GOPT.wsdsinterval";
inline constexpr char kPortIndex[] = "GOPT.spindex";
inline constexpr char kByteDelay[] = "GOPT.sdsdelay";
inline constexpr char kParityIndex[] = "GOPT.bparity";
inline constexpr char kDataBitsIndex[] = "GOPT.databits";
inline constexpr char kStopBitsIndex[] = "GOPT.stopbits";
inline constexpr char kRtsWhileSending[] = "GOPT.rts_on_while_sdsending";

// File names inside the settings folder.
inline constexpr char kSettingsFileName[] = "xyt_gopt.dat";

} // namespace brivox::opt
