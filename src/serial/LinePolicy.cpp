#include "serial/LinePolicy.h"

#include "util/Text.h"

#include <charconv>

namespace brivox {

namespace {

constexpr int kMaxWaitMs = 10000;

bool ParseStep(const std::string& text, CPulseStep& step) {
    for (const auto& [name, kind] :
         {std::pair{"DTR=", CPulseStep::Kind::Dtr}, std::pair{"RTS=", CPulseStep::Kind::Rts}}) {
        if (text == std::string(name) + "0" || text == std::string(name) + "1") {
            step = {kind, text.back() == '1', 0};
            return true;
        }
    }
    if (text.size() < 3 || !text.ends_with("ms"))
        return false;
    const char* end = text.data() + text.size() - 2;
    int ms = 0;
    const auto [stop, error] = std::from_chars(text.data(), end, ms);
    if (error != std::errc() || stop != end || ms < 1 || ms > kMaxWaitMs)
        return false;
    step = {CPulseStep::Kind::Wait, false, ms};
    return true;
}

} // namespace

bool ParseLineLevel(const std::string& text, LineLevel& level) {
    for (const auto& [name, value] :
         {std::pair{"", LineLevel::Driver}, std::pair{"keep", LineLevel::Keep},
          std::pair{"low", LineLevel::Low}, std::pair{"high", LineLevel::High}}) {
        if (text == name) {
            level = value;
            return true;
        }
    }
    return false;
}

std::string ParsePulse(const std::string& text, std::vector<CPulseStep>& steps) {
    std::vector<CPulseStep> read;
    for (const std::string& piece : SplitText(text, ",")) {
        CPulseStep step;
        if (!ParseStep(TrimText(piece), step))
            return "step \"" + piece + "\": give DTR=0, DTR=1, RTS=0, RTS=1 or a wait of 1 to " +
                   std::to_string(kMaxWaitMs) + " ms as 100ms";
        read.push_back(step);
    }
    steps = std::move(read);
    return "";
}

} // namespace brivox
