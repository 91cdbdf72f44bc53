#include "cli/ModbusCommand.h"

#include "cli/ModbusOptions.h"
#include "cli/ScriptOutput.h"
#include "options/OptionDefaults.h"
#include "platform/Language.h"

#include <ostream>

namespace brivox::cli {

namespace {

const std::string kUsage = std::string("--ascii|--rtu ") + kModbusFieldsUsage;

int RunModbus(const CCliArguments& args, CCliStreams& io) {
    COptionStore options;
    RegisterDefaultOptions(options, LanguageCode());
    CModbusBoxes boxes;
    std::string error = args.Has("--ascii") == args.Has("--rtu")
                            ? "give one of --ascii and --rtu"
                            : ApplyModbusFields(args, options, boxes);
    if (!error.empty()) {
        io.err << "brivox-cli modbus: " << error << "\nusage: brivox-cli modbus " << kUsage << "\n";
        return 1;
    }
    CJPScript script(options);
    const CModbusBuildResult result = BuildModbusRequest(script, args.Has("--ascii"), boxes);
    if (!result.Succeeded()) {
        io.out << "error " << result.message << "\n";
        return 1;
    }
    PrintItems(io.out, script.Items());
    return 0;
}

} // namespace

CCommand ModbusCommand() {
    std::vector<COptionSpec> options = ModbusFieldSpecs();
    options.insert(options.end(), {{"--ascii", false}, {"--rtu", false}});
    return {"modbus", kUsage,
            "build a MODBUS master request (unset fields at their defaults) and print it as one "
            "send item, or \"error MESSAGE\"",
            options, RunModbus};
}

} // namespace brivox::cli
