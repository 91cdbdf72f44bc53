#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace brivox {

// The trace window's text panes hold at most this many characters; a log pane that grows past
// kTraceCutAbove keeps only its last kTraceKeptAfterCut, so a long trace stays responsive.
constexpr size_t kTracePaneLimit = 1'048'576;
constexpr size_t kTraceCutAbove = 819'200;
constexpr size_t kTraceKeptAfterCut = 10'240;

// A line costs a pane far more than a character (a text block and its layout, several hundred
// bytes), so panes are bounded by lines too: no pane shows more than kTracePaneLineLimit lines,
// and a log pane that grows past it keeps only its last kTraceKeptLinesAfterCut. Ordinary trace
// lines of 50 characters or more meet the character cut first.
constexpr size_t kTracePaneLineLimit = 16'384;
constexpr size_t kTraceKeptLinesAfterCut = 1'024;

// A log line as a pane shows it: indent spaces, the time as "hh:mm:ss " when stamped, the text,
// then a line break.
std::string FormatTracePaneLine(const std::string& text, const std::tm* stamp, int indent);

// How many of a line's characters fit into a pane that holds length characters.
size_t TracePaneRoom(size_t length);

// How many leading characters a log pane of this length drops.
size_t TracePaneCut(size_t length);

// How many leading lines a log pane of this many lines drops.
size_t TracePaneLineCut(size_t lines);

// Lines end at line breaks: a final break ends the last line, and text after the last break is
// a line too. The text from the start of its last given number of lines.
std::string_view LastTraceLines(std::string_view text, size_t lines);
// The text up to the end of its first given number of lines, without the break that ends them.
std::string_view FirstTraceLines(std::string_view text, size_t lines);

} // namespace brivox
