#include "testbench/LoopbackTally.h"

#include <algorithm>

namespace brivox {

void CLoopbackTally::Sent(const uint8_t* bytes, size_t count) {
    m_sent.insert(m_sent.end(), bytes, bytes + count);
    Resolve();
}

void CLoopbackTally::Received(const uint8_t* bytes, size_t count) {
    m_received.insert(m_received.end(), bytes, bytes + count);
    Resolve();
}

void CLoopbackTally::Finish() {
    m_finished = true;
    Resolve();
}

int CLoopbackTally::Agree(size_t sentAt, size_t receivedAt) const {
    const size_t sentLeft = Open();
    const size_t receivedLeft = ReceivedOpen();
    if (!m_finished && (sentAt + kMatchRun > sentLeft || receivedAt + kMatchRun > receivedLeft))
        return -1;
    if (sentAt > sentLeft || receivedAt > receivedLeft)
        return 0;
    const size_t length = std::min({kMatchRun, sentLeft - sentAt, receivedLeft - receivedAt});
    if (length == 0)
        return sentAt == sentLeft && receivedAt == receivedLeft ? 1 : 0;
    const auto sent = m_sent.begin() + static_cast<long>(m_sentHead + sentAt);
    const auto received = m_received.begin() + static_cast<long>(m_receivedHead + receivedAt);
    return std::equal(sent, sent + static_cast<long>(length), received) ? 1 : 0;
}

// The fewest bytes to skip, counted as the larger side, so that the streams agree again.
CLoopbackTally::CAlignment CLoopbackTally::Search() const {
    CAlignment best;
    size_t bestCost = SIZE_MAX;
    for (size_t received = 0; received <= kSearchReceived && received < bestCost; ++received) {
        for (size_t sent = 0; sent <= kSearchSent && std::max(sent, received) < bestCost; ++sent) {
            if (sent == 0 && received == 0)
                continue;
            const int agree = Agree(sent, received);
            if (agree < 0)
                return {true};
            if (agree == 0)
                continue;
            best = {false, true, sent, received};
            bestCost = std::max(sent, received);
            break;
        }
    }
    return best;
}

// Skipped bytes on both sides pair up as corrupt; the rest of either side is lost or extra.
void CLoopbackTally::Skip(size_t sent, size_t received) {
    const size_t paired = std::min(sent, received);
    m_corrupt += static_cast<int64_t>(paired);
    m_lost += static_cast<int64_t>(sent - paired);
    m_extra += static_cast<int64_t>(received - paired);
    m_sentHead += sent;
    m_receivedHead += received;
}

void CLoopbackTally::Resolve() {
    for (;;) {
        while (Open() != 0 && ReceivedOpen() != 0 &&
               m_sent[m_sentHead] == m_received[m_receivedHead]) {
            ++m_sentHead;
            ++m_receivedHead;
            ++m_intact;
        }
        if (Open() == 0 || ReceivedOpen() == 0) {
            if (m_finished)
                Skip(Open(), ReceivedOpen());
            break;
        }
        const CAlignment alignment = Search();
        if (alignment.wait)
            break;
        if (alignment.found) {
            Skip(alignment.sent, alignment.received);
            continue;
        }
        const size_t garbled = std::min({kMatchRun, Open(), ReceivedOpen()});
        Skip(garbled, garbled);
    }
    Compact();
}

void CLoopbackTally::Compact() {
    constexpr size_t kCompactAt = 1 << 16;
    if (m_sentHead >= kCompactAt) {
        m_sent.erase(m_sent.begin(), m_sent.begin() + static_cast<long>(m_sentHead));
        m_sentHead = 0;
    }
    if (m_receivedHead >= kCompactAt) {
        m_received.erase(m_received.begin(),
                         m_received.begin() + static_cast<long>(m_receivedHead));
        m_receivedHead = 0;
    }
}

} // namespace brivox
