#include "brivox-devsim/RulesModel.h"

#include <ostream>

namespace brivox::devsim {

std::vector<CExchange> CRulesModel::Exchanges(const std::vector<CRuleHit>& hits) {
    std::vector<CExchange> exchanges;
    for (const CRuleHit& hit : hits) {
        const CRule& rule = m_engine.Rules()[hit.rule];
        if (!rule.mark.empty())
            m_log << "mark " << rule.name << ": " << rule.mark << std::endl;
        exchanges.push_back({hit.matched, hit.answer, rule.delayMs});
    }
    return exchanges;
}

} // namespace brivox::devsim
