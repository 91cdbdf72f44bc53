#pragma once

#include "rules/RuleEngine.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace brivox {

// What became of one hit.
struct CResponderEvent {
    CRuleHit hit;
    int64_t atUs = 0;       // steady clock: when the answer was written, or the hit seen
    bool written = false;   // an answer went out
    int64_t latencyUs = -1; // from the last matching byte's arrival (or the gap's end) to the
                            // written answer, the rule's delay not counted; -1 without answer
};

// Per rule: what it did so far.
struct CResponderStats {
    int hits = 0;
    int answers = 0;
    int64_t longestUs = 0;
};

// Runs rules on a port's received bytes on the thread of its event loop: answers through the
// writer, at once or after the rule's delay, ends gap frames by a timer and reports every hit.
class CResponder : public QObject {
public:
    using Writer = std::function<bool(const std::vector<uint8_t>& bytes)>;
    using Reporter = std::function<void(const CResponderEvent& event)>;

    CResponder(std::vector<CRule> rules, Writer write, Reporter report);

    const std::vector<CRule>& Rules() const { return m_engine.Rules(); }
    const std::vector<CResponderStats>& Stats() const { return m_stats; }

    // arrivalUs: when the bytes were read, on the steady clock.
    void Receive(const uint8_t* bytes, size_t count, int64_t arrivalUs);
    // Off, received bytes are not looked at and answers not yet sent are dropped.
    void SetEnabled(bool on);
    bool Enabled() const { return m_enabled; }
    // Forgets the bytes of a match in progress, as when the port opens again.
    void Reset() { m_engine.Reset(); }

private:
    void Handle(const std::vector<CRuleHit>& hits, int64_t arrivalUs);
    void Answer(const CRuleHit& hit, int64_t arrivalUs);
    void ArmQuiet();
    void OnQuiet();
    void ArmDelay();
    void OnDelay();

    // An answer waiting for its rule's delay.
    struct CDelayed {
        int64_t dueUs;
        CRuleHit hit;
        int64_t arrivalUs;
    };

    CRuleEngine m_engine;
    Writer m_write;
    Reporter m_report;
    std::vector<CResponderStats> m_stats;
    QTimer m_quiet;
    int64_t m_lastArrivalUs = 0;
    std::deque<CDelayed> m_delayed; // in the order they are due
    QTimer m_delay;
    bool m_enabled = true;
};

} // namespace brivox
