#pragma once

#include <cstddef>
#include <ctime>
#include <string>

namespace brivox {

// The trace window's text panes hold at most this many characters; a log pane that grows past
// kTraceCutAbove keeps only its last kTraceKeptAfterCut, so a long trace stays responsive.
constexpr size_t kTracePaneLimit = 1'048'576;
constexpr size_t kTraceCutAbove = 819'200;
constexpr size_t kTraceKeptAfterCut = 10'240;

// A log line as a pane shows it: indent spaces, the time as "hh:mm:ss " when stamped, the text,
// then a line break.
std::string FormatTracePaneLine(const std::string& text, const std::tm* stamp, int indent);

// How many of a line's characters fit into a pane that holds length characters.
size_t TracePaneRoom(size_t length);

// How many leading characters a log pane of this length drops.
size_t TracePaneCut(size_t length);

} // namespace brivox
