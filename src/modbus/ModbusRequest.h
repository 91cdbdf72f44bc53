#pragma once

#include "script/JPScript.h"

#include <string>

namespace brivox {

// The form box a failed build asks the user to correct.
enum class ModbusFocus { None, BitsBox, WordsBox };

struct CModbusBuildResult {
    std::string message; // empty on success
    ModbusFocus focus = ModbusFocus::None;
    bool Succeeded() const { return message.empty(); }
};

// Which data boxes of the form are enabled; the form decides from the function and the port.
struct CModbusBoxes {
    bool bitsEnabled = false;
    bool wordsEnabled = false;
};

// The function combo's index for each function code, in the combo's order.
inline constexpr int kModbusFunctionCodes[] = {0x01, 0x05, 0x03, 0x06, 0x0F, 0x10, 0x02, 0x04};

// Builds one MODBUS master request from the script's options into the script as one send
// item: ASCII (":", hex characters, LRC, CR LF) or RTU (binary, CRC low byte first). On failure
// the script is left empty.
CModbusBuildResult BuildModbusRequest(CJPScript& script, bool ascii, const CModbusBoxes& boxes);

} // namespace brivox
