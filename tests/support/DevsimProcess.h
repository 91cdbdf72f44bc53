#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace brivox::test {

// brivox-devsim as a child process; its first output line is the terminal's path, then the
// COM<n> it registered.
class CDevsimProcess {
public:
    explicit CDevsimProcess(std::vector<std::string> args);
    ~CDevsimProcess();
    CDevsimProcess(const CDevsimProcess&) = delete;
    CDevsimProcess& operator=(const CDevsimProcess&) = delete;

    const std::string& Path() const { return m_path; }
    const std::string& PortName() const { return m_portName; }
    pid_t Pid() const { return m_pid; }
    // Ends the process as a user's Ctrl+C would; its exit code.
    int Stop();
    // What the process printed after its first line, up to its end.
    std::string Rest();

private:
    std::string ReadLine();

    pid_t m_pid = 0;
    int m_status = -1;
    int m_out = -1;
    std::string m_path;
    std::string m_portName;
};

} // namespace brivox::test
