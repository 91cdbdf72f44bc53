#pragma once

#include <ctime>
#include <string>

namespace brivox {

// Developer trace: silent unless the developer marker exists (checked once per process) and
// another party has published the trace file's path as the shared string "lgwpath_<pid>".
bool TraceGateOpen();

// Appends "[hh:mm:ss] text" and two CR LF pairs to the trace file. Returns 0 only when the file
// could not be opened; 1 when the line was written or dropped.
int TraceLine(const std::string& text);

// Sends "xta1:" (or "xta1t:" to be time-stamped) and the text to the trace window found at the
// first call: a datagram socket named "XTraceWindow" in the runtime folder. Dropped without one.
void TraceToWindow(const std::string& text, bool timestamped);

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
