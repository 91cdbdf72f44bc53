#include "cli/ModbusCommand.h"

#include "cli/ModbusOptions.h"
#include "cli/ScriptOutput.h"
#include "options/OptionDefaults.h"
#include "platform/Language.h"

#include <ostream>

namespace brivox::cli {

namespace {

int RunModbus(const CCliArguments& args, CCliStreams& io) {
    COptionStore options;
    RegisterDefaultOptions(options, LanguageCode());
    CModbusCommandLine request;
    if (const std::string error = ApplyModbusOptions(args, options, request); !error.empty()) {
        io.err << "brivox-cli modbus: " << error << "\nusage: brivox-cli modbus " << kModbusUsage
               << "\n";
        return 1;
    }
    CJPScript script(options);
    const CModbusBuildResult result = BuildModbusRequest(script, request.ascii, request.boxes);
    if (!result.Succeeded()) {
        io.out << "error " << result.message << "\n";
        return 1;
    }
    PrintItems(io.out, script.Items());
    return 0;
}

} // namespace

CCommand ModbusCommand() {
    return {"modbus", kModbusUsage,
            "build a MODBUS master request (unset fields at their defaults) and print it as one "
            "send item, or \"error MESSAGE\"",
            ModbusOptionSpecs(), RunModbus};
}

} // namespace brivox::cli
