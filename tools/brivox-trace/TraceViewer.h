#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace brivox::traceviewer {

// What the command line asks of brivox-trace.
struct CTraceViewerOptions {
    bool verbose = false; // print every command received
    bool help = false;
};

extern const char kTraceViewerUsage[];

// Error text, empty on success.
std::string ParseTraceViewerOptions(const std::vector<std::string>& args,
                                    CTraceViewerOptions& options);

// Shows the trace window and runs until it closes or a stop signal (stopFd readable, -1 for
// none) arrives. Needs a QApplication. Returns the exit code: 1 when the window cannot listen.
int RunTraceViewer(const CTraceViewerOptions& options, int stopFd, std::ostream& out,
                   std::ostream& err);

} // namespace brivox::traceviewer
