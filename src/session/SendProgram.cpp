#include "session/SendProgram.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

namespace {

CSendProgramResult LoadFile(CJPScript& script, const std::string& path) {
    CSendProgramResult result;
    result.caption = "Error";
    result.plainBox = true;
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        result.message = "File Cannot be Found";
        return result;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.message = "Cannot Open File";
        return result;
    }
    result.fileLength = info.st_size;
    result.plainBox = false;
    result.caption = "Syntax Error";
    result.message = script.CompileFile(fd, true, result.fileBytes);
    close(fd);
    return result;
}

} // namespace

CSendProgramResult BuildSendProgram(CJPScript& script, int mode, std::string_view text,
                                    const CModbusBoxes& boxes, const std::string& filePath) {
    if (mode == kFileMode)
        return LoadFile(script, filePath);
    CSendProgramResult result;
    if (mode == kModbusAsciiMode || mode == kModbusRtuMode) {
        const CModbusBuildResult built =
            BuildModbusRequest(script, mode == kModbusAsciiMode, boxes);
        result.message = built.message;
        result.focus = built.focus;
        result.caption = "Expression Error";
        return result;
    }
    const CCompileResult compiled = script.Compile(text);
    result.message = compiled.message;
    result.position = compiled.position;
    result.caption = "Syntax Error";
    return result;
}

std::string TransferResultText(int bytes) {
    return "Transfered : " + std::to_string(bytes) + " bytes ";
}

} // namespace brivox
