#include "support/DevsimProcess.h"

#include <utility>

namespace brivox::test {

CDevsimProcess::CDevsimProcess(std::vector<std::string> args)
    : m_process(BRIVOX_DEVSIM, std::move(args)) {
    const std::string first = m_process.ReadLine();
    const size_t space = first.find(' ');
    m_path = first.substr(0, space);
    m_portName = space == std::string::npos ? "" : first.substr(space + 1);
}

} // namespace brivox::test
