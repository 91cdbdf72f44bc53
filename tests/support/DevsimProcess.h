#pragma once

#include "support/ChildProcess.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace brivox::test {

// brivox-devsim as a child process; its first output line is the terminal's path, then the
// COM<n> it registered and "tap PATH" for --tap.
class CDevsimProcess {
public:
    explicit CDevsimProcess(std::vector<std::string> args);
    CDevsimProcess(const CDevsimProcess&) = delete;
    CDevsimProcess& operator=(const CDevsimProcess&) = delete;

    const std::string& Path() const { return m_path; }
    const std::string& PortName() const { return m_portName; }
    const std::string& TapPath() const { return m_tapPath; }
    pid_t Pid() const { return m_process.Pid(); }
    // Ends the process as a user's Ctrl+C would; its exit code.
    int Stop() { return m_process.Stop(); }
    // What the process printed after its first line, up to its end.
    std::string Rest() { return m_process.Rest(); }

private:
    CChildProcess m_process;
    std::string m_path;
    std::string m_portName;
    std::string m_tapPath;
};

} // namespace brivox::test
