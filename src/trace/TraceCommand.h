#pragma once

#include <string>
#include <string_view>

namespace brivox {

// A rectangle in screen or client pixels; right and bottom lie just outside it.
struct CTraceRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const CTraceRect&) const = default;
};

enum class TraceCommandKind {
    None, // not a command, or "xts:" without "="
    SetVariable,
    RemoveVariable,
    AppendA,
    Clear,
    AppendB,
    AppendAStamped,
    AppendBStamped,
    Rect,
};

// One command text a trace window receives, taken apart. Nothing in it is ever run.
struct CTraceCommand {
    TraceCommandKind kind = TraceCommandKind::None;
    std::string name; // the variable's name
    std::string text; // the variable's value, or the line to append
    CTraceRect rect;
};

// Reads a payload: its text ends at the first zero byte (a sender may include the terminator);
// the prefixes are matched case-sensitively in a fixed order and the first match wins.
CTraceCommand ParseTraceCommand(std::string_view payload);

// "left,top,right,bottom": missing, empty or non-numeric fields read 0, a number stops at its
// first non-digit, and one beyond the range of int reads as the nearest int.
CTraceRect ParseTraceRect(std::string_view fields);

} // namespace brivox
