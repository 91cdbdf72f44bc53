#include "options/OptionDefaults.h"

#include "banner/DefaultBannerScript.h"
#include "options/OptionKeys.h"

namespace brivox {

void RegisterDefaultOptions(COptionStore& store, const std::string& languageCode) {
    store.SetInt(opt::kBaudIndex, 10); // 115200
    store.SetInt(opt::kModeIndex, 0);  // Key Stroke
    store.SetInt(opt::kClearAfterSending, 0);
    store.SetInt(opt::kModbusFunctionIndex, 2); // Word Read [03]
    store.SetString(opt::kModbusStartAddress, "7000");
    store.SetInt(opt::kModbusLength, 3);
    store.SetInt(opt::kModbusSlaveAddress, 3);
    store.SetString(opt::kModbusWordData, "1234");
    store.SetInt(opt::kModbusBitOn, 1);
    store.SetInt(opt::kEnableRts, 0);
    store.SetInt(opt::kEnableDtr, 1);
    store.SetString(opt::kBannerRequestTime, "");
    store.SetString(opt::kBannerScript, DefaultBannerScript(languageCode));
    store.SetString(opt::kModbusBitsData, "");
    store.SetString(opt::kModbusWordsData, "");
    store.SetInt(opt::kViewTypeIndex, 0); // HEX
    store.SetString(opt::kTransferFilePath, "");
    store.SetInt(opt::kRepeatInterval, 3000);
    store.SetInt(opt::kPortIndex, 1);
    store.SetInt(opt::kByteDelay, 0);
    store.SetInt(opt::kParityIndex, 0);   // NoParity
    store.SetInt(opt::kDataBitsIndex, 1); // Data Bits 8
    store.SetInt(opt::kStopBitsIndex, 0); // Stop Bits 1
}

} // namespace brivox
