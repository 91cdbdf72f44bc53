#include "support/DevsimProcess.h"

#include <sstream>
#include <utility>

namespace brivox::test {

CDevsimProcess::CDevsimProcess(std::vector<std::string> args)
    : m_process(BRIVOX_DEVSIM, std::move(args)) {
    std::istringstream first(m_process.ReadLine());
    first >> m_path;
    for (std::string word; first >> word;) {
        if (word == "tap")
            first >> m_tapPath;
        else
            m_portName = word;
    }
}

} // namespace brivox::test
