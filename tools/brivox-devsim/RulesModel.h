#pragma once

#include "brivox-devsim/DeviceModel.h"
#include "rules/RuleEngine.h"

#include <iosfwd>

namespace brivox::devsim {

// A device made of rules: each hit is an exchange that answers the rule's answer after its
// delay; a rule's mark goes to the log.
class CRulesModel : public CDeviceModel {
public:
    CRulesModel(std::vector<CRule> rules, std::ostream& log)
        : m_engine(std::move(rules)), m_log(log) {}

    std::vector<CExchange> Receive(const uint8_t* bytes, size_t count) override {
        return Exchanges(m_engine.Feed(bytes, count));
    }
    int QuietMs() const override { return m_engine.NextQuietMs(); }
    std::vector<CExchange> Quiet() override {
        return Exchanges(m_engine.Quiet(m_engine.NextQuietMs()));
    }

private:
    std::vector<CExchange> Exchanges(const std::vector<CRuleHit>& hits);

    CRuleEngine m_engine;
    std::ostream& m_log;
};

} // namespace brivox::devsim
