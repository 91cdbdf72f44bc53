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

} // namespace brivox
