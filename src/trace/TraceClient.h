#pragma once

#include "trace/TraceCommand.h"

#include <ctime>
#include <string>

namespace brivox {

// Developer trace: silent unless the developer marker exists (checked once per process) and
// another party has published the trace file's path as the shared string "lgwpath_<pid>".
bool TraceGateOpen();

// Appends "[hh:mm:ss] text" and two CR LF pairs to the trace file. Returns 0 only when the file
// could not be opened; 1 when the line was written or dropped.
int TraceLine(const std::string& text);

// Sends "xta1:" (or "xta1t:" to be time-stamped) and the text to the trace window. The first call
// looks for one: a listening datagram socket named "XTraceWindow" in the runtime folder; when
// none listens, the process makes its own window through the installed owner. The search is made
// once per process; without a window the line is dropped.
void TraceToWindow(const std::string& text, bool timestamped);

// Makes and feeds the process's own trace window; lives in the window layer. Both calls come on
// the thread of the application object.
class CTraceWindowOwner {
public:
    virtual ~CTraceWindowOwner() = default;
    // Makes and shows the window; false when it could not be made.
    virtual bool CreateTraceWindow() = 0;
    // Shows a command in the window, only while the window is visible.
    virtual void DeliverToTraceWindow(const std::string& command) = 0;
};

// Installs the owner of the own trace window (null: the process makes none).
void SetTraceWindowOwner(CTraceWindowOwner* owner);

// Where the process's own trace window goes, in screen pixels; "xtrect:" changes it.
CTraceRect OwnTraceWindowRect();
void SetOwnTraceWindowRect(const CTraceRect& rect);

// Where the trace window listens.
std::string TraceWindowSocketPath();

std::string FormatTraceLine(const std::tm& localTime, const std::string& text);

// The shared-string name under which the trace file path of a process is published.
std::string TracePathName(long processId);

namespace trace_testing {
// Forgets the cached gate and window search so that a test can decide them again.
void ForgetGate();
} // namespace trace_testing

} // namespace brivox
