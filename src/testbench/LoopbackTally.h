#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brivox {

// Compares what came back through a loop with what went out, as both streams grow: every sent
// byte ends up intact, lost or corrupt, and every received byte that answers none is extra.
// After a difference the streams are aligned again at the cheapest explanation (the fewest bytes
// skipped on either side) that makes the next kMatchRun bytes agree. Faults closer together than
// that are counted as corrupt bytes.
class CLoopbackTally {
public:
    static constexpr size_t kMatchRun = 8;
    // How far past a difference it looks: more than one test block on the sent side.
    static constexpr size_t kSearchSent = 1024 + 64;
    static constexpr size_t kSearchReceived = 64;

    void Sent(const uint8_t* bytes, size_t count);
    void Received(const uint8_t* bytes, size_t count);
    // No more bytes will come: what is still open counts as lost or extra.
    void Finish();

    int64_t Intact() const { return m_intact; }
    int64_t Lost() const { return m_lost; }
    int64_t Corrupt() const { return m_corrupt; }
    int64_t Extra() const { return m_extra; }
    // Sent bytes whose fate is not known yet.
    size_t Open() const { return m_sent.size() - m_sentHead; }

private:
    struct CAlignment {
        bool wait = false; // more bytes are needed to tell
        bool found = false;
        size_t sent = 0;     // sent bytes skipped (lost, or corrupt where received ones are too)
        size_t received = 0; // received bytes skipped
    };

    void Resolve();
    CAlignment Search() const;
    // Whether the streams agree from these offsets on: 1 yes, 0 no, -1 not known yet.
    int Agree(size_t sentAt, size_t receivedAt) const;
    void Skip(size_t sent, size_t received);
    size_t ReceivedOpen() const { return m_received.size() - m_receivedHead; }
    void Compact();

    std::vector<uint8_t> m_sent;
    std::vector<uint8_t> m_received;
    size_t m_sentHead = 0;
    size_t m_receivedHead = 0;
    bool m_finished = false;
    int64_t m_intact = 0;
    int64_t m_lost = 0;
    int64_t m_corrupt = 0;
    int64_t m_extra = 0;
};

} // namespace brivox
