#include "capture/PortTimeline.h"

#include <algorithm>

namespace brivox {

namespace {

bool Before(const CPortTimeline::CPortFrame& a, const CPortTimeline::CPortFrame& b) {
    return a.frame.startUs != b.frame.startUs ? a.frame.startUs < b.frame.startUs : a.port < b.port;
}

} // namespace

void CPortTimeline::Add(size_t port, std::vector<CLineFrame> frames) {
    for (CLineFrame& frame : frames) {
        CPortFrame added{port, std::move(frame)};
        m_held.insert(std::upper_bound(m_held.begin(), m_held.end(), added, Before),
                      std::move(added));
    }
}

bool CPortTimeline::MayGo(const CPortFrame& held,
                          const std::vector<int64_t>& earliestToCome) const {
    for (size_t port = 0; port < earliestToCome.size(); ++port) {
        if (port == held.port)
            continue;
        const int64_t earliest = earliestToCome[port];
        if (earliest == kUnknown || earliest < held.frame.startUs ||
            (earliest == held.frame.startUs && port < held.port))
            return false;
    }
    return true;
}

std::vector<CPortTimeline::CPortFrame>
CPortTimeline::Release(const std::vector<int64_t>& earliestToCome) {
    size_t going = 0;
    while (going < m_held.size() && MayGo(m_held[going], earliestToCome))
        ++going;
    std::vector<CPortFrame> released(
        std::make_move_iterator(m_held.begin()),
        std::make_move_iterator(m_held.begin() + static_cast<long>(going)));
    m_held.erase(m_held.begin(), m_held.begin() + static_cast<long>(going));
    return released;
}

std::vector<CPortTimeline::CPortFrame> CPortTimeline::ReleaseAll() {
    return std::exchange(m_held, {});
}

} // namespace brivox
