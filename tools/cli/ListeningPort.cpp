#include "cli/ListeningPort.h"

#include "util/WallClock.h"

namespace brivox::cli {

void CListeningPort::OnReceiveMarked(const uint8_t* bytes, const uint8_t* marks, int count) {
    m_events.receive(bytes, marks, count, CWallClock::SteadyUs(ChunkArrival()));
}

void CListeningPort::OnPortLost() {
    if (Reconnect())
        m_events.lost(GetLastError());
    else
        m_events.ended();
}

} // namespace brivox::cli
