#pragma once

#include "brivox-devsim/DeviceModel.h"

#include <string>

namespace brivox::devsim {

// "05=06 00 10": when the bytes received end with the left side, answer the right side.
struct CReplyRule {
    std::vector<uint8_t> when;
    std::vector<uint8_t> answer;
    bool operator==(const CReplyRule&) const = default;
};

// Hex pairs, blanks between them optional ("06 00 10", "060010"); error text.
std::string ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes);
// Error text; the left side must not be empty, the right side may be.
std::string ParseReplyRule(const std::string& text, CReplyRule& rule);

// Checks the rules in their order after every byte; the first that matches answers, and the
// bytes received so far are forgotten.
class CReplyModel : public CDeviceModel {
public:
    static constexpr size_t kHistoryLimit = 4096;

    explicit CReplyModel(std::vector<CReplyRule> rules) : m_rules(std::move(rules)) {}
    std::vector<CExchange> Receive(const uint8_t* bytes, size_t count) override;

private:
    const CReplyRule* Match() const;

    std::vector<CReplyRule> m_rules;
    std::vector<uint8_t> m_history;
};

} // namespace brivox::devsim
