#include "cli/Cli.h"

#include "cli/BreakCommand.h"
#include "cli/CompileCommand.h"
#include "cli/EscapingStream.h"
#include "cli/IdentCommand.h"
#include "cli/LoopbackCommand.h"
#include "cli/ModbusCommand.h"
#include "cli/MonitorCommand.h"
#include "cli/PollCommand.h"
#include "cli/PortsCommand.h"
#include "cli/ReplayCommand.h"
#include "cli/RespondCommand.h"
#include "cli/RunCommand.h"
#include "cli/ScanCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/TestCommand.h"
#include "cli/TransferCommands.h"
#include "cli/WriteCommand.h"

#include <algorithm>
#include <ostream>

namespace brivox::cli {

namespace {

int RunHelp(const CCliArguments&, CCliStreams& io);

void PrintHelp(std::ostream& stream) {
    stream << "usage: brivox-cli COMMAND [OPTIONS] [--] [ARGUMENTS]\n\ncommands:\n";
    for (const CCommand& command : Commands()) {
        stream << "  " << command.name;
        if (!command.usage.empty())
            stream << " " << command.usage;
        stream << "\n      " << command.summary << "\n";
    }
}

int RunHelp(const CCliArguments&, CCliStreams& io) {
    PrintHelp(io.out);
    return 0;
}

} // namespace

const std::vector<CCommand>& Commands() {
    static const std::vector<CCommand> commands = {
        {"help", "", "show this help", {}, RunHelp},
        SettingsCommand(),
        CompileCommand(),
        CompileFileCommand(),
        ModbusCommand(),
        PortsCommand(),
        RunCommand(),
        MonitorCommand(),
        ReplayCommand(),
        TestCommand(),
        LoopbackCommand(),
        BreakCommand(),
        RespondCommand(),
        PollCommand(),
        WriteCommand(),
        ScanCommand(),
        IdentCommand(),
        RequestCommand(),
        SendFileCommand(),
        ReceiveFileCommand(),
    };
    return commands;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // Messages quote what the user gave, which may hold anything.
    CEscapingStream escapedErr(err);
    CCliStreams io{out, escapedErr};
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        PrintHelp(args.empty() ? io.err : out);
        return args.empty() ? 1 : 0;
    }
    const auto& commands = Commands();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const CCommand& c) { return c.name == args[0]; });
    if (command == commands.end()) {
        io.err << "brivox-cli: unknown command '" << args[0] << "' (see brivox-cli help)\n";
        return 1;
    }
    CCliArguments parsed;
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (const std::string error = parsed.Parse(rest, command->options); !error.empty()) {
        io.err << "brivox-cli " << command->name << ": " << error << "\nusage: brivox-cli "
               << command->name << " " << command->usage << "\n";
        return command->usageExitCode;
    }
    return command->run(parsed, io);
}

} // namespace brivox::cli
