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

std::string FormatTraceLine(const std::tm& localTime, const std::string& text);

// The shared-string name under which the trace file path of a process is published.
std::string TracePathName(long processId);

namespace trace_testing {
// Forgets the cached gate so that a test can decide it again.
void ForgetGate();
} // namespace trace_testing

} // namespace brivox
