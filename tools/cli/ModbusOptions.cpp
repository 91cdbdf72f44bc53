#include "cli/ModbusOptions.h"

namespace brivox::cli {

std::vector<COptionSpec> ModbusFieldSpecs() {
    std::vector<COptionSpec> specs;
    for (const std::string& name : ModbusFieldNames())
        specs.push_back({name, true});
    return specs;
}

std::string ApplyModbusFields(const CCliArguments& args, COptionStore& options,
                              CModbusBoxes& boxes) {
    CModbusFieldValues values;
    for (const std::string& name : ModbusFieldNames()) {
        if (args.Has(name))
            values[name] = args.Value(name);
    }
    return brivox::ApplyModbusFields(values, options, boxes);
}

} // namespace brivox::cli
