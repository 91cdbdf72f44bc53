#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace brivox::test {

// A program run as a child process with its standard output (and, if asked, its standard error)
// read through a pipe. It inherits the test's environment.
class CChildProcess {
public:
    CChildProcess(const std::string& program, std::vector<std::string> args,
                  bool withErrors = false);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    // The next line of output without its line break; waits at most ten seconds.
    std::string ReadLine();
    // What the process prints from here to its end.
    std::string Rest();
    // Ends the process as a user's Ctrl+C would; its exit code, -1 when it did not exit.
    int Stop();
    // Waits for the process to end by itself; its exit code.
    int Wait();
    // The same for at most limitMs; -1, with the process killed, when it did not end by then.
    int WaitAtMost(int limitMs);

private:
    pid_t m_pid = 0;
    int m_status = -1;
    int m_out = -1;
};

} // namespace brivox::test
