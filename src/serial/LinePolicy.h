#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// What becomes of DTR or RTS when the port opens and when it closes. The driver's way raises
// both at open and drops them at close (HUPCL), which resets a board whose DTR drives its reset
// line; Keep leaves a line as it stands at close too. The kernel raises both lines when a tty is
// first opened, before any program can act: Low lowers them at once after, which most reset
// circuits do not see as a pulse, but a few may.
enum class LineLevel : uint8_t { Driver, Keep, Low, High };

struct CLinePolicy {
    LineLevel dtr = LineLevel::Driver;
    LineLevel rts = LineLevel::Driver;
    bool operator==(const CLinePolicy&) const = default;
};

// "keep", "low", "high" (an empty text is the driver's way); false for anything else.
bool ParseLineLevel(const std::string& text, LineLevel& level);

// One step of a timed sequence on the modem lines, as "DTR=0,RTS=1,100ms,DTR=1" writes it.
struct CPulseStep {
    enum class Kind : uint8_t { Dtr, Rts, Wait };
    Kind kind = Kind::Wait;
    bool raised = false;
    int waitMs = 0;
    bool operator==(const CPulseStep&) const = default;
};

// Steps separated by commas: DTR=0|1, RTS=0|1, or a wait of 1 to 10000 ms ("100ms"); an error
// text naming the step, empty on success.
std::string ParsePulse(const std::string& text, std::vector<CPulseStep>& steps);

} // namespace brivox
