#include "cli/CompileCommand.h"

#include "cli/ScriptOutput.h"
#include "options/OptionKeys.h"
#include "platform/FileIO.h"
#include "script/JPScript.h"
#include "util/Text.h"

#include <limits>
#include <ostream>
#include <unistd.h>

namespace brivox::cli {

namespace {

int RunCompile(const CCliArguments& args, CCliStreams& io) {
    const int mode = InputModeIndex(args.Value("--mode", "detail"));
    if (mode < 0 || args.Positionals().size() != 1) {
        io.err << "usage: brivox-cli compile --mode detail|string|decimal|keystroke [--] TEXT\n";
        return 1;
    }
    COptionStore options;
    options.SetInt(opt::kModeIndex, mode);
    CJPScript script(options);
    // The form compiles its input trimmed of surrounding white space.
    const CCompileResult result = script.Compile(TrimText(args.Positionals()[0]));
    if (!result.Succeeded()) {
        io.out << "error " << result.position << " " << result.message << "\n";
        return 1;
    }
    PrintItems(io.out, script.Items());
    return 0;
}

int RunCompileFile(const CCliArguments& args, CCliStreams& io) {
    if (args.Positionals().size() != 1) {
        io.err << "usage: brivox-cli compile-file PATH\n";
        return 1;
    }
    const std::string& path = args.Positionals()[0];
    // Only the first 1024 bytes are read, so any size will do; but only a regular file.
    FileReadError readError;
    const int fd = OpenRegularFile(path, std::numeric_limits<int64_t>::max(), readError);
    if (fd < 0) {
        io.err << "brivox-cli compile-file: cannot open " << path << ": "
               << FileReadErrorText(readError) << "\n";
        return 1;
    }
    COptionStore options;
    CJPScript script(options);
    int count = 0;
    const std::string error = script.CompileFile(fd, true, count);
    close(fd);
    if (!error.empty()) {
        io.err << "brivox-cli compile-file: " << path << ": " << error << "\n";
        return 1;
    }
    PrintItems(io.out, script.Items());
    return 0;
}

} // namespace

int InputModeIndex(const std::string& word) {
    static const char* const modes[] = {"keystroke", "detail", "string", "decimal"};
    for (int i = 0; i < static_cast<int>(std::size(modes)); ++i) {
        if (word == modes[i])
            return i;
    }
    return -1;
}

CCommand CompileCommand() {
    return {"compile",
            "--mode detail|string|decimal|keystroke [--] TEXT",
            "compile TEXT (trimmed) as the input box does; one line per item, or "
            "\"error POSITION MESSAGE\"",
            {{"--mode", true}},
            RunCompile};
}

CCommand CompileFileCommand() {
    return {"compile-file",
            "PATH",
            "the send item a file transfer sends (at most 1024 bytes)",
            {},
            RunCompileFile};
}

} // namespace brivox::cli
