#pragma once

#include <string>

namespace brivox {

// Open's refusal while a line-setting combo shows no choice (a damaged or hand-edited settings
// file can leave one blank): "Choose the Baud-Rate before opening the port.", naming the first
// blank one. Empty when every combo index is a choice.
std::string BlankLineSettingMessage(int baudIndex, int parityIndex, int dataBitsIndex,
                                    int stopBitsIndex);

} // namespace brivox
