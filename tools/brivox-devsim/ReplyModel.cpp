#include "brivox-devsim/ReplyModel.h"

#include <algorithm>
#include <cctype>

namespace brivox::devsim {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

} // namespace

std::string ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    int high = -1;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) && high < 0)
            continue;
        const int digit = HexDigit(c);
        if (digit < 0)
            return "not a hex byte in '" + text + "'";
        if (high < 0) {
            high = digit;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
        high = -1;
    }
    return high < 0 ? "" : "odd number of hex digits in '" + text + "'";
}

std::string ParseReplyRule(const std::string& text, CReplyRule& rule) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        return "a reply is WHEN=ANSWER in hex, not '" + text + "'";
    if (std::string error = ParseHexBytes(text.substr(0, equals), rule.when); !error.empty())
        return error;
    if (rule.when.empty())
        return "the left side of '" + text + "' is empty";
    return ParseHexBytes(text.substr(equals + 1), rule.answer);
}

std::vector<CExchange> CReplyModel::Receive(const uint8_t* bytes, size_t count) {
    std::vector<CExchange> exchanges;
    for (size_t i = 0; i < count; ++i) {
        m_history.push_back(bytes[i]);
        if (m_history.size() > kHistoryLimit)
            m_history.erase(m_history.begin());
        if (const CReplyRule* rule = Match()) {
            exchanges.push_back({m_history, rule->answer});
            m_history.clear();
        }
    }
    return exchanges;
}

const CReplyRule* CReplyModel::Match() const {
    for (const CReplyRule& rule : m_rules)
        if (m_history.size() >= rule.when.size() &&
            std::equal(rule.when.rbegin(), rule.when.rend(), m_history.rbegin()))
            return &rule;
    return nullptr;
}

} // namespace brivox::devsim
