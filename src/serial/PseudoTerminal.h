#pragma once

#include <string>

namespace brivox {

// A pseudo-terminal pair standing in for a serial line: the program opens the slave path as its
// port, the simulated device reads and writes the master. The slave is held open in raw mode, so
// that clients may open and close it without the master seeing a hang-up.
class CPseudoTerminal {
public:
    CPseudoTerminal() = default;
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;
    ~CPseudoTerminal();

    // Error text, empty on success.
    std::string Open();
    // Closing both ends is what a device going away looks like to the slave's clients.
    void Close();

    int Master() const { return m_master; }
    int Slave() const { return m_slave; }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

} // namespace brivox
