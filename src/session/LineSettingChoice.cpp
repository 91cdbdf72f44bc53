#include "session/LineSettingChoice.h"

namespace brivox {

std::string BlankLineSettingMessage(int baudIndex, int parityIndex, int dataBitsIndex,
                                    int stopBitsIndex) {
    const struct {
        int index;
        const char* name;
    } combos[] = {{baudIndex, "Baud-Rate"},
                  {parityIndex, "Parity"},
                  {dataBitsIndex, "Data Bits"},
                  {stopBitsIndex, "Stop Bits"}};
    for (const auto& combo : combos)
        if (combo.index < 0)
            return std::string("Choose the ") + combo.name + " before opening the port.";
    return "";
}

} // namespace brivox
