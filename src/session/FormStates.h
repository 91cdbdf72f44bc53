#pragma once

#include <string>
#include <vector>

namespace brivox {

// What decides which controls of the session form are shown and enabled.
struct CFormConditions {
    int mode = 0;     // the Mode combo's index
    int function = 0; // the MODBUS Function combo's index
    bool portOpen = false;
    bool testSend = false; // Test Send checked
    bool repeat = false;   // "Repeat" checked
};

// Every control whose shown or enabled state a rule decides.
const std::vector<int>& StatefulControlIds();

// A control that no rule names is shown and enabled. A hidden control is never enabled.
bool IsControlShown(int id, const CFormConditions& c);
bool IsControlEnabled(int id, const CFormConditions& c);

// The help text of each input mode.
std::string ModeHelpText(int mode);

// "9600,N,8,1" from the combo indexes of baud, parity, data bits and stop bits.
std::string SettingsTextFromIndexes(int baud, int parity, int dataBits, int stopBits);

// The Baud-Rate combo's items, in index order ("600" .. "256000").
extern const char kBaudRateItems[];
std::string BaudRateText(int baudIndex);

} // namespace brivox
