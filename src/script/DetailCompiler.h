#pragma once

#include "script/JPScript.h"

#include <string>
#include <string_view>

namespace brivox {

// One left-to-right pass over a Detail text: two-digit hex bytes, decimal bytes ending in ";",
// quoted strings, and "<" ">" groups of expected bytes, elements separated by single spaces.
class CDetailCompiler {
public:
    explicit CDetailCompiler(CJPScript& script) : m_script(script) {}
    CCompileResult Run(std::string_view text);

private:
    // What may come next (and two states), as a set of bits.
    enum Permission : unsigned {
        kDigit = 1u << 0,
        kSpace = 1u << 1,
        kQuote = 1u << 2,
        kOpen = 1u << 3,
        kClose = 1u << 4,
        kPending = 1u << 5, // a number is being read
        kQuoted = 1u << 6,  // inside a string
        kEnd = 1u << 7,
    };
    static constexpr unsigned kElementStart = kDigit | kQuote | kOpen;

    bool Allows(unsigned permission) const { return (m_allowed & permission) != 0; }
    // Each handler returns an error message, empty to go on.
    std::string AtEnd();
    std::string OnQuote(size_t position);
    std::string OnDigit(char c);
    std::string CloseHex(char closer);
    std::string CloseDecimal();
    std::string OnOther(char c);
    void Emit(uint8_t byte);

    CJPScript& m_script;
    unsigned m_allowed = kElementStart;
    bool m_groupOpen = false;
    std::string m_number;
    std::string m_string;
    size_t m_quotePosition = 0;
};

} // namespace brivox
