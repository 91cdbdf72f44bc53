#pragma once

#include "trace/TraceCommand.h"

#include <array>

namespace brivox {

// Where the trace window's controls go in a client area of the given size.
struct CTraceWindowLayout {
    CTraceRect displayLog;
    std::array<CTraceRect, 3> variablePanes;
    CTraceRect paneA;
    CTraceRect paneB;
};

// A wide area puts the variables, pane A and pane B side by side (four, three and three tenths
// of the width), a tall one stacks them; the check box sits above the first variable pane.
CTraceWindowLayout LayOutTraceWindow(int width, int height);

// high - low without overflow, between 1 and most (or 1 when most is smaller).
int FitExtent(int low, int high, int most);

// The rectangle a command asks for, fitted to a screen's area: no wider or taller than the area,
// its top-left corner inside it and at least 100 pixels of it (all of a smaller one) on it, so
// that the window is never larger than the screen nor out of the user's reach. Otherwise the
// rectangle is kept, even where it hangs over the area's right or bottom edge.
CTraceRect FitTraceRect(const CTraceRect& asked, const CTraceRect& area);

} // namespace brivox
