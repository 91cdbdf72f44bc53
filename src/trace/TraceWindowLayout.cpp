#include "trace/TraceWindowLayout.h"

#include <cstdint>

namespace brivox {

namespace {

constexpr CTraceRect kDisplayLog = {0, 2, 200, 15};

// value * tenThousandths / 10000, truncated like a product of pixels; exact, so that 0.7 * 800
// is 560 and not 559.
int Part(int value, int tenThousandths) {
    return static_cast<int>(int64_t{value} * tenThousandths / 10000);
}

CTraceRect Shrunk(CTraceRect rect, int horizontal, int vertical) {
    return {rect.left + horizontal, rect.top + vertical, rect.right - horizontal,
            rect.bottom - vertical};
}

std::array<CTraceRect, 3> VariablePanes(const CTraceRect& block) {
    const int top = block.top;
    const int bottom = block.bottom;
    const int height = bottom - top;
    const int checkBoxRoom = kDisplayLog.bottom + 2;
    return {{{block.left, top + checkBoxRoom, block.right, top + Part(height, 3333)},
             {block.left, top + Part(height, 3333), block.right, bottom - Part(height, 3333)},
             {block.left, top + Part(height, 6666), block.right, bottom}}};
}

} // namespace

CTraceWindowLayout LayOutTraceWindow(int width, int height) {
    CTraceRect block;
    CTraceRect paneA;
    CTraceRect paneB;
    if (height < width) {
        block = {0, 0, Part(width, 4000), height};
        paneA = {Part(width, 4000), 0, Part(width, 7000), height};
        paneB = {Part(width, 7000), 0, width, height};
    } else {
        block = {0, 0, width, Part(height, 4000)};
        paneA = {0, Part(height, 4000), width, Part(height, 7000)};
        paneB = {0, Part(height, 7000), width, height};
    }
    block = Shrunk(block, 1, 1);
    CTraceWindowLayout layout;
    layout.displayLog = kDisplayLog;
    layout.variablePanes = VariablePanes(block);
    layout.paneA = Shrunk(paneA, 1, 0);
    layout.paneB = Shrunk(paneB, 1, 1);
    return layout;
}

} // namespace brivox
