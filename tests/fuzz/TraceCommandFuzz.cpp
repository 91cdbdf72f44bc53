// Any datagram parses without a crash or undefined behaviour, and what parses says exactly what
// the text said: a command rebuilt from its parts is the text again (a rectangle rebuilt from
// its numbers parses to the same numbers).
#include "trace/TraceCommand.h"
#include "trace/TracePaneText.h"

#include <cstdlib>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckOne(input);
    return 0;
}
