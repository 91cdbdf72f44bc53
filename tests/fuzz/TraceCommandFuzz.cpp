// Any datagram parses without a crash or undefined behaviour, and what parses says exactly what
// the text said: a command rebuilt from its parts is the text again (a rectangle rebuilt from
// its numbers parses to the same numbers). The lines of the input, run as a sequence of
// commands, leave every variable shown once in its pane.
#include "trace/TraceCommand.h"
#include "trace/TracePaneText.h"
#include "trace/TraceVariables.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

namespace {

using brivox::CTraceCommand;
using Kind = brivox::TraceCommandKind;

std::string Rebuilt(const CTraceCommand& command) {
    switch (command.kind) {
    case Kind::SetVariable:
        return "xts:" + command.name + "=" + command.text;
    case Kind::RemoveVariable:
        return "xtd:" + command.name;
    case Kind::AppendA:
        return "xta1:" + command.text;
    case Kind::AppendB:
        return "xta2:" + command.text;
    case Kind::AppendAStamped:
        return "xta1t:" + command.text;
    case Kind::AppendBStamped:
        return "xta2t:" + command.text;
    default:
        return "";
    }
}

void CheckOne(std::string_view payload) {
    const CTraceCommand command = brivox::ParseTraceCommand(payload);
    const std::string_view text = payload.substr(0, payload.find('\0'));
    if (command.kind == Kind::Rect) {
        const brivox::CTraceRect& r = command.rect;
        const std::string again = std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                                  std::to_string(r.right) + "," + std::to_string(r.bottom);
        if (!text.starts_with("xtrect:") || brivox::ParseTraceRect(again) != r)
            std::abort();
    } else if (command.kind == Kind::Clear) {
        if (!text.starts_with("xtc"))
            std::abort();
    } else if (command.kind == Kind::None) {
        for (const char* prefix : {"xtd:", "xta1:", "xtc", "xta2:", "xta1t:", "xta2t:", "xtrect:"})
            if (text.starts_with(prefix))
                std::abort();
        if (text.starts_with("xts:") && text.find('=') != std::string_view::npos)
            std::abort();
    } else if (Rebuilt(command) != text) {
        std::abort();
    } else if (command.kind == Kind::SetVariable && command.name.find('=') != std::string::npos) {
        std::abort();
    }
    brivox::FormatTracePaneLine(command.text, nullptr, static_cast<int>(text.size() % 10));
}

void CheckSequence(std::string_view input) {
    brivox::CTraceVariables variables;
    std::map<std::string, std::string> expected;
    for (size_t start = 0; start <= input.size();) {
        const size_t end = std::min(input.find('\n', start), input.size());
        const CTraceCommand command = brivox::ParseTraceCommand(input.substr(start, end - start));
        if (command.kind == Kind::SetVariable) {
            variables.Set(command.name, command.text);
            expected[command.name] = command.text;
        } else if (command.kind == Kind::RemoveVariable) {
            variables.Remove(command.name);
            expected.erase(command.name);
        }
        start = end + 1;
    }
    size_t shown = 0;
    for (int pane = 0; pane < brivox::CTraceVariables::kPanes; ++pane)
        shown += variables.PaneText(pane).size();
    size_t wanted = 0;
    int perPane[3] = {};
    for (const auto& [name, value] : expected) {
        wanted += name.size() + 1 + value.size();
        ++perPane[brivox::VariablePane(name)];
    }
    for (const int count : perPane)
        wanted += count > 1 ? 3 * (count - 1) : 0;
    if (shown != wanted)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckOne(input);
    CheckSequence(input);
    return 0;
}
