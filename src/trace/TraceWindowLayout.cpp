#include "trace/TraceWindowLayout.h"

#include <algorithm>
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

// How much of a fitted window stays on the screen at least, in each direction: enough to take
// hold of it and drag it back.
constexpr int kReachable = 100;

// The corner coordinate of an extent of this size inside [low, high), with up to kReachable
// pixels of it before high.
int FitCorner(int at, int extent, int low, int high) {
    return std::clamp(at, low, std::max(low, high - std::min(extent, kReachable)));
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

int FitExtent(int low, int high, int most) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{high} - low, 1, std::max(most, 1)));
}

CTraceRect FitTraceRect(const CTraceRect& asked, const CTraceRect& area) {
    const int width = FitExtent(asked.left, asked.right, area.right - area.left);
    const int height = FitExtent(asked.top, asked.bottom, area.bottom - area.top);
    const int left = FitCorner(asked.left, width, area.left, area.right);
    const int top = FitCorner(asked.top, height, area.top, area.bottom);
    return {left, top, left + width, top + height};
}

} // namespace brivox
