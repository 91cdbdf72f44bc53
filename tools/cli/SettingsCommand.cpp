#include "cli/SettingsCommand.h"

#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "platform/Language.h"
#include "platform/Paths.h"
#include "util/Text.h"

#include <ostream>

namespace brivox::cli {

namespace {

void PrintEntry(std::ostream& out, const COptionValue& value) {
    out << value.name << " = ";
    switch (value.kind) {
    case OptionKind::Int:
        out << value.integer << " (int)";
        break;
    case OptionKind::Text:
        out << value.text << " (text)";
        break;
    case OptionKind::Bytes:
        out << HexPairs(value.bytes.ToVector()) << " (bytes)";
        break;
    }
    out << "\n";
}

int RunSettings(const CCliArguments& args, CCliStreams& io) {
    if (args.Positionals().size() > 1) {
        io.err << "brivox-cli settings: give at most one file\n";
        return 1;
    }
    const std::string path =
        args.Positionals().empty() ? SettingsPath(opt::kSettingsFileName) : args.Positionals()[0];
    COptionStore store;
    if (!args.Has("--raw"))
        RegisterDefaultOptions(store, LanguageCode());

    COptionLoadReport report;
    store.Load(path, true, &report);
    using Outcome = COptionLoadReport::Outcome;
    if (report.outcome == Outcome::Unreadable || report.outcome == Outcome::Missing) {
        io.err << "brivox-cli settings: cannot read " << path << ": " << report.reason << "\n";
        return 1;
    }
    for (const auto& [name, value] : store.GetEntries())
        PrintEntry(io.out, *value);
    if (report.outcome == Outcome::Complete)
        return 0;
    io.err << "brivox-cli settings: " << path << ": "
           << (report.outcome == Outcome::Failed ? "load failed" : "load stopped early")
           << " at byte " << report.stopOffset << " (record starting at byte "
           << report.recordOffset << "): " << report.reason << "\n";
    return report.outcome == Outcome::Failed ? 1 : 0;
}

} // namespace

CCommand SettingsCommand() {
    return {"settings",
            "[--raw] [FILE]",
            "print the entries a settings file loads to, over the defaults (the user's "
            "xyt_gopt.dat when no FILE); --raw loads into an empty store (history files)",
            {{"--raw", false}},
            RunSettings};
}

} // namespace brivox::cli
