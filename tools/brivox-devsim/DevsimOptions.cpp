#include "brivox-devsim/DevsimOptions.h"

#include "brivox-devsim/Devsim.h"
#include "brivox-devsim/ModbusLink.h"
#include "brivox-devsim/ReplyModel.h"
#include "brivox-devsim/RulesModel.h"
#include "cli/CliArguments.h"
#include "util/Text.h"

#include <iostream>

namespace brivox::devsim {

const char kDevsimUsage[] =
    "usage: brivox-devsim (--echo | --reply WHEN=ANSWER... | --modbus rtu|ascii [--slave N]\n"
    "                     | --modbus-tcp PORT [--slave N] | --rules FILE\n"
    "                     | --program \"COMMAND ARGS\")\n"
    "                     [--register N|free | --port DEVICE [--settings S]]\n"
    "                     [--tap] [--drop-every N] [--corrupt-every N] [--seconds N]\n"
    "                     [--rs485-echo] [-v]\n"
    "A simulated serial device on a pseudo-terminal. Its first line of output is the terminal's\n"
    "path, followed by COM<N> when it is registered and by \"tap PATH\" with --tap.\n"
    "  --echo             answer every byte with itself\n"
    "  --reply W=A        when the bytes received end with W, answer A (hex, repeatable:\n"
    "                     the first rule that matches answers)\n"
    "  --modbus rtu|ascii a MODBUS slave (functions 01 02 03 04 05 06 0F 10, 07, 08/00,\n"
    "                     11, 16, 17 and 2B/0E) with 5000 coils, discrete inputs, holding\n"
    "                     and input registers: coil a is on when a is a multiple of 3,\n"
    "                     input a when a is even, holding register a holds a, input\n"
    "                     register a holds 0x8000 + a\n"
    "  --modbus-tcp PORT  the same slave as a MODBUS TCP server on 127.0.0.1:PORT (0: a\n"
    "                     free port); the first line is modbustcp://127.0.0.1:PORT\n"
    "  --slave N[,N...]   the slave addresses (unit ids) it answers for, 1 to 247\n"
    "                     (default 1); several share the tables\n"
    "  --rules FILE       answer as the rules of FILE say (brivox-cli(1), RULES FILES);\n"
    "                     marks are logged\n"
    "  --program \"C A\"    run command C with arguments A as the device: what arrives\n"
    "                     goes to its standard input, its standard output goes out, the\n"
    "                     faults below spoil both directions; when it ends, \"exit N\" is\n"
    "                     printed and the line stays open\n"
    "  --port DEVICE      serve on this device (a real port, or one end of a pseudo-terminal\n"
    "                     pair) instead of a terminal of its own; its path is the first line\n"
    "  --settings S       the line settings of --port (default 115200,N,8,1)\n"
    "  --register N|free  link the terminal as COM<N> (free: the lowest COM number no port\n"
    "                     uses) in the port map while serving\n"
    "  --tap              a second terminal that hears both directions, as a listener on an\n"
    "                     RS-485 bus would (its path follows \"tap\" on the first line)\n"
    "  --drop-every N     of the bytes the device sends, drop every Nth\n"
    "  --corrupt-every N  of the bytes the device sends, invert the bits of every Nth\n"
    "  --seconds N        stop after N seconds (default: serve until killed)\n"
    "  --rs485-echo       send every received byte straight back before the answer, as\n"
    "                     a two-wire RS-485 adapter echoes its master\n"
    "  -v                 log each request and reply as hex lines\n";

namespace {

// A whole decimal number in [low, high], else -1.
int NumberIn(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int value = std::stoi(text);
    return value >= low && value <= high ? value : -1;
}

std::string MakeReplyModel(const std::vector<std::string>& texts, CDevsimOptions& options) {
    std::vector<CReplyRule> rules(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        if (std::string error = ParseReplyRule(texts[i], rules[i]); !error.empty())
            return error;
    options.model = std::make_unique<CReplyModel>(std::move(rules));
    return "";
}

// --slave 1 or --slave 1,5,9: the addresses one set of tables answers for.
std::string ParseSlaves(const std::string& text, std::vector<uint8_t>& addresses) {
    for (const std::string& piece : SplitText(text, ",")) {
        const int address = NumberIn(TrimText(piece), 1, 247);
        if (address < 0)
            return "--slave takes addresses of 1 to 247, several separated by commas";
        addresses.push_back(static_cast<uint8_t>(address));
    }
    return "";
}

std::string MakeModbusModel(const cli::CCliArguments& args, CDevsimOptions& options) {
    const std::string framing = args.Has("--modbus-tcp") ? "rtu" : args.Value("--modbus");
    if (framing != "rtu" && framing != "ascii")
        return "--modbus takes rtu or ascii";
    std::vector<uint8_t> addresses;
    if (std::string error = ParseSlaves(args.Value("--slave", "1"), addresses); !error.empty())
        return error;
    auto link = std::make_unique<CModbusLink>(
        framing == "rtu" ? ModbusFraming::Rtu : ModbusFraming::Ascii, addresses[0]);
    for (size_t i = 1; i < addresses.size(); ++i)
        link->AlsoAnswerFor(addresses[i]);
    if (!args.Has("--modbus-tcp")) {
        options.model = std::move(link);
        return "";
    }
    options.modbusTcpPort = NumberIn(args.Value("--modbus-tcp"), 0, 65535);
    if (options.modbusTcpPort < 0)
        return "--modbus-tcp takes a port number, 0 to 65535 (0: any free port)";
    options.tcpSlave = std::move(link);
    return "";
}

// What only a serial line has.
std::string CheckTcpOptions(const cli::CCliArguments& args) {
    for (const char* name : {"--port", "--settings", "--register", "--tap", "--drop-every",
                             "--corrupt-every", "--rs485-echo"})
        if (args.Has(name))
            return std::string(name) + " goes with a serial line, not with --modbus-tcp";
    return "";
}

std::string MakeRulesModel(const std::string& path, CDevsimOptions& options) {
    std::vector<CRule> rules;
    if (std::string error = LoadRules(path, rules); !error.empty())
        return error;
    options.model = std::make_unique<CRulesModel>(std::move(rules), std::cout);
    return "";
}

std::string MakeModel(const cli::CCliArguments& args, CDevsimOptions& options) {
    const int kinds = args.Has("--echo") + args.Has("--reply") + args.Has("--modbus") +
                      args.Has("--rules") + args.Has("--program") + args.Has("--modbus-tcp");
    if (kinds != 1)
        return "choose one of --echo, --reply, --modbus, --modbus-tcp, --rules and --program";
    if (args.Has("--rules"))
        return MakeRulesModel(args.Value("--rules"), options);
    if (args.Has("--slave") && !args.Has("--modbus") && !args.Has("--modbus-tcp"))
        return "--slave goes with --modbus and --modbus-tcp";
    if (args.Has("--modbus-tcp")) {
        const std::string error = CheckTcpOptions(args);
        return error.empty() ? MakeModbusModel(args, options) : error;
    }
    if (args.Has("--echo"))
        options.model = std::make_unique<CEchoModel>();
    if (args.Has("--program")) {
        std::vector<CWord> words;
        if (std::string error = SplitWords(args.Value("--program"), words); !error.empty())
            return "--program: " + error;
        for (const CWord& word : words)
            options.program.push_back(word.text);
        if (options.program.empty())
            return "--program needs a command";
        options.model = std::make_unique<CSilentModel>();
    }
    if (args.Has("--reply"))
        return MakeReplyModel(args.Values("--reply"), options);
    if (args.Has("--modbus"))
        return MakeModbusModel(args, options);
    return "";
}

} // namespace

std::string ParseDevsimOptions(const std::vector<std::string>& args, CDevsimOptions& options) {
    cli::CCliArguments parsed;
    const std::vector<cli::COptionSpec> known = {
        {"--echo", false},      {"--reply", true},         {"--modbus", true},
        {"--slave", true},      {"--register", true},      {"--seconds", true},
        {"-v", false},          {"--help", false},         {"--tap", false},
        {"--drop-every", true}, {"--corrupt-every", true}, {"--rs485-echo", false},
        {"--rules", true},      {"--port", true},          {"--settings", true},
        {"--program", true},    {"--modbus-tcp", true},
    };
    if (std::string error = parsed.Parse(args, known); !error.empty())
        return error;
    options.help = parsed.Has("--help");
    if (options.help)
        return "";
    if (!parsed.Positionals().empty())
        return "unexpected argument " + parsed.Positionals()[0];
    options.verbose = parsed.Has("-v");
    options.lineEcho = parsed.Has("--rs485-echo");
    const std::string registerText = parsed.Value("--register");
    options.registerNumber = !parsed.Has("--register") ? 0
                             : registerText == "free"  ? CDevsim::kFreeNumber
                                                       : NumberIn(registerText, 1, 9999);
    if (options.registerNumber == -1 && registerText != "free")
        return "--register takes a COM number from 1 to 9999, or free";
    options.seconds = parsed.Has("--seconds") ? NumberIn(parsed.Value("--seconds"), 1, 1000000) : 0;
    if (options.seconds < 0)
        return "--seconds takes a whole number of seconds, at least 1";
    options.tap = parsed.Has("--tap");
    options.portPath = parsed.Value("--port");
    options.settings = parsed.Value("--settings", options.settings);
    if (parsed.Has("--port") && options.portPath.empty())
        return "--port needs a device";
    if (parsed.Has("--port") && parsed.Has("--register"))
        return "--register names a terminal of devsim's own: give it without --port";
    if (parsed.Has("--settings") && !parsed.Has("--port"))
        return "--settings goes with --port";
    for (auto [name, every] : {std::pair{"--drop-every", &options.dropEvery},
                               std::pair{"--corrupt-every", &options.corruptEvery}}) {
        *every = parsed.Has(name) ? NumberIn(parsed.Value(name), 1, 1000000) : 0;
        if (*every < 0)
            return std::string(name) + " takes a whole number from 1 to 1000000";
    }
    return MakeModel(parsed, options);
}

} // namespace brivox::devsim
