#include "serial/PseudoTerminal.h"

#include "serial/LineConfig.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace brivox {

CPseudoTerminal::~CPseudoTerminal() {
    Close();
}

std::string CPseudoTerminal::Open() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return std::string("posix_openpt: ") + std::strerror(errno);
    char name[256];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return std::string("ptsname: ") + std::strerror(errno);
    m_slavePath = name;
    m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return m_slavePath + ": " + std::strerror(errno);
    return ApplyLine(m_slave, CLineConfig{});
}

void CPseudoTerminal::Close() {
    if (m_slave >= 0)
        close(m_slave);
    if (m_master >= 0)
        close(m_master);
    m_slave = m_master = -1;
}

} // namespace brivox
