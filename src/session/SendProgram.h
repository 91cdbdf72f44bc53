#pragma once

#include "modbus/ModbusRequest.h"
#include "script/InputMode.h"
#include "script/JPScript.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace brivox {

// What the form needs to know after building the program of a send.
struct CSendProgramResult {
    std::string message; // empty when the program is ready
    std::string caption; // of the message box that shows the message
    // A file that cannot be found or opened: its box is plain, without the stop icon.
    bool plainBox = false;
    int position = -1; // the character a syntax error stopped at
    ModbusFocus focus = ModbusFocus::None;
    int64_t fileLength = -1; // file mode: the file's length
    int fileBytes = -1;      // file mode: the bytes taken into the program

    bool Succeeded() const { return message.empty(); }
};

// Fills the script from the input by mode: compiles the (trimmed) text, builds the MODBUS
// request from the script's options, or loads the first 1024 bytes of the file.
CSendProgramResult BuildSendProgram(CJPScript& script, int mode, std::string_view text,
                                    const CModbusBoxes& boxes, const std::string& filePath);

// The file transfer's result line: "Transfered : 1024 bytes ".
std::string TransferResultText(int bytes);

} // namespace brivox
