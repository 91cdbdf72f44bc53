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

void CListeningPort::OnModemLinesChanged(const CModemLines& lines,
                                         CPortReader::Clock::time_point at) {
    m_events.modem(lines, CWallClock::SteadyUs(at));
}

} // namespace brivox::cli
