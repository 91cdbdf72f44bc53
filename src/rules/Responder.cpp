#include "rules/Responder.h"

#include "util/WallClock.h"

#include <algorithm>

namespace brivox {

namespace {

int64_t NowUs() {
    return CWallClock::SteadyUs(std::chrono::steady_clock::now());
}

} // namespace

CResponder::CResponder(std::vector<CRule> rules, Writer write, Reporter report)
    : m_engine(std::move(rules)), m_write(std::move(write)), m_report(std::move(report)),
      m_stats(m_engine.Rules().size()) {
    m_quiet.setSingleShot(true);
    m_quiet.setTimerType(Qt::PreciseTimer);
    connect(&m_quiet, &QTimer::timeout, this, [this] { OnQuiet(); });
    m_delay.setSingleShot(true);
    m_delay.setTimerType(Qt::PreciseTimer);
    connect(&m_delay, &QTimer::timeout, this, [this] { OnDelay(); });
}

void CResponder::Receive(const uint8_t* bytes, size_t count, int64_t arrivalUs) {
    if (!m_enabled || count == 0)
        return;
    m_lastArrivalUs = arrivalUs;
    Handle(m_engine.Feed(bytes, count), arrivalUs);
    ArmQuiet();
}

void CResponder::SetEnabled(bool on) {
    m_enabled = on;
    m_delayed.clear();
    m_delay.stop();
    m_quiet.stop();
    m_engine.Reset();
}

void CResponder::Handle(const std::vector<CRuleHit>& hits, int64_t arrivalUs) {
    for (const CRuleHit& hit : hits) {
        ++m_stats[hit.rule].hits;
        const int delayMs = Rules()[hit.rule].delayMs;
        if (!hit.answers) {
            m_report({hit, NowUs(), false, -1});
        } else if (delayMs == 0) {
            Answer(hit, arrivalUs);
        } else {
            const int64_t dueUs = arrivalUs + int64_t{delayMs} * 1000;
            const auto later =
                std::upper_bound(m_delayed.begin(), m_delayed.end(), dueUs,
                                 [](int64_t due, const CDelayed& d) { return due < d.dueUs; });
            m_delayed.insert(later, {dueUs, hit, arrivalUs});
            ArmDelay();
        }
    }
}

void CResponder::Answer(const CRuleHit& hit, int64_t arrivalUs) {
    const bool written = m_write(hit.answer);
    const int64_t now = NowUs();
    CResponderStats& stats = m_stats[hit.rule];
    const int64_t latency =
        std::max<int64_t>(0, now - arrivalUs - Rules()[hit.rule].delayMs * 1000);
    if (written) {
        ++stats.answers;
        stats.longestUs = std::max(stats.longestUs, latency);
    }
    m_report({hit, now, written, written ? latency : -1});
}

// A gap is measured from the last byte's arrival, not from when the event loop saw it.
void CResponder::ArmQuiet() {
    const int next = m_engine.NextQuietMs();
    if (next < 0) {
        m_quiet.stop();
        return;
    }
    const int64_t dueUs = m_lastArrivalUs + int64_t{next} * 1000;
    m_quiet.start(static_cast<int>(std::max<int64_t>(0, (dueUs - NowUs() + 999) / 1000)));
}

void CResponder::OnQuiet() {
    const int quietMs = static_cast<int>((NowUs() - m_lastArrivalUs) / 1000);
    const int next = m_engine.NextQuietMs();
    if (next >= 0 && quietMs >= next)
        Handle(m_engine.Quiet(quietMs), m_lastArrivalUs + int64_t{next} * 1000);
    ArmQuiet();
}

void CResponder::ArmDelay() {
    if (m_delayed.empty()) {
        m_delay.stop();
        return;
    }
    const int64_t leftUs = m_delayed.front().dueUs - NowUs();
    m_delay.start(static_cast<int>(std::max<int64_t>(0, (leftUs + 999) / 1000)));
}

void CResponder::OnDelay() {
    while (!m_delayed.empty() && m_delayed.front().dueUs <= NowUs()) {
        const CDelayed due = std::move(m_delayed.front());
        m_delayed.pop_front();
        Answer(due.hit, due.arrivalUs);
    }
    ArmDelay();
}

} // namespace brivox
