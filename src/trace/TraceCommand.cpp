#include "trace/TraceCommand.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <utility>

namespace brivox {

namespace {

using Kind = TraceCommandKind;

// In matching order.
constexpr std::array<std::pair<std::string_view, Kind>, 8> kPrefixes = {{
    {"xts:", Kind::SetVariable},
    {"xtd:", Kind::RemoveVariable},
    {"xta1:", Kind::AppendA},
    {"xtc", Kind::Clear},
    {"xta2:", Kind::AppendB},
    {"xta1t:", Kind::AppendAStamped},
    {"xta2t:", Kind::AppendBStamped},
    {"xtrect:", Kind::Rect},
}};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Like atoi, but a value out of range saturates instead of being undefined.
int ReadDecimal(std::string_view field) {
    size_t at = field.find_first_not_of(" \t\n\v\f\r");
    if (at == std::string_view::npos)
        return 0;
    const bool negative = field[at] == '-';
    if (field[at] == '-' || field[at] == '+')
        ++at;
    int64_t magnitude = 0;
    for (; at < field.size() && IsDigit(field[at]); ++at)
        magnitude = std::min<int64_t>(magnitude * 10 + (field[at] - '0'), int64_t{INT_MAX} + 1);
    const int64_t value = negative ? -magnitude : std::min<int64_t>(magnitude, INT_MAX);
    return static_cast<int>(value);
}

CTraceCommand SetVariable(std::string_view rest) {
    CTraceCommand command;
    const size_t equals = rest.find('=');
    if (equals == std::string_view::npos)
        return command;
    command.kind = Kind::SetVariable;
    command.name = rest.substr(0, equals);
    command.text = rest.substr(equals + 1);
    return command;
}

} // namespace

CTraceRect ParseTraceRect(std::string_view fields) {
    std::array<int, 4> values{};
    for (int& value : values) {
        const size_t comma = fields.find(',');
        value = ReadDecimal(fields.substr(0, comma));
        fields = comma == std::string_view::npos ? std::string_view() : fields.substr(comma + 1);
    }
    return {values[0], values[1], values[2], values[3]};
}

CTraceCommand ParseTraceCommand(std::string_view payload) {
    payload = payload.substr(0, payload.find('\0'));
    const auto match = std::find_if(kPrefixes.begin(), kPrefixes.end(), [&](const auto& prefix) {
        return payload.starts_with(prefix.first);
    });
    if (match == kPrefixes.end())
        return {};
    const std::string_view rest = payload.substr(match->first.size());
    CTraceCommand command;
    command.kind = match->second;
    switch (match->second) {
    case Kind::SetVariable:
        return SetVariable(rest);
    case Kind::RemoveVariable:
        command.name = rest;
        break;
    case Kind::Rect:
        command.rect = ParseTraceRect(rest);
        break;
    case Kind::Clear:
    case Kind::None:
        break;
    default:
        command.text = rest;
    }
    return command;
}

} // namespace brivox
