#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace brivox::devsim {

// A program that stands in for the device, joined through pipes: what the line brings goes to
// its standard input, what it writes on standard output goes out on the line. Pipes, not a
// terminal: a program that flushes its terminal as it exits (lrzsz does) would otherwise drop
// its last answer before anyone read it.
class CProgramLink {
public:
    CProgramLink() = default;
    CProgramLink(const CProgramLink&) = delete;
    CProgramLink& operator=(const CProgramLink&) = delete;
    ~CProgramLink(); // ends a program still running

    // Starts the program (its name found on PATH) with its arguments; error text.
    std::string Start(const std::vector<std::string>& command);
    bool Running() const { return m_pid > 0; }
    // The descriptor to poll for its output; -1 once it has ended.
    int OutputFd() const { return m_fromProgram; }
    // Its output into buffer: the count, 0 at its end (then Ended gives its exit status), or -1
    // when there is nothing to read now.
    ssize_t Read(void* buffer, size_t size);
    // Feeds its standard input; a program that stopped reading loses the bytes.
    void Write(const void* bytes, size_t count);
    // Waits for the ended program; its exit status (128 + the signal for one killed).
    int Ended();

private:
    pid_t m_pid = -1;
    int m_toProgram = -1;
    int m_fromProgram = -1;
};

} // namespace brivox::devsim
