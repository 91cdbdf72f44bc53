#include "script/DetailCompiler.h"

#include "util/Text.h"

#include <cctype>

namespace brivox {

namespace {

constexpr char kUnrecognized[] = "Unrecognized character";
constexpr char kInvalidQuote[] = "Invalid Quotation Mark";

} // namespace

CCompileResult CDetailCompiler::Run(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string error;
        if (c == '"')
            error = OnQuote(i);
        else if (Allows(kQuoted))
            m_string += c;
        else if (std::isxdigit(static_cast<unsigned char>(c)))
            error = OnDigit(c);
        else if (Allows(kPending) && (c == ' ' || c == '>'))
            error = CloseHex(c);
        else if (Allows(kPending) && c == ';')
            error = CloseDecimal();
        else
            error = OnOther(c);
        if (!error.empty())
            return {error, static_cast<int>(i)};
    }
    if (const std::string error = AtEnd(); !error.empty()) {
        const bool quote = error == kInvalidQuote;
        return {error, static_cast<int>(quote ? m_quotePosition : text.size())};
    }
    return {};
}

std::string CDetailCompiler::AtEnd() {
    if (Allows(kEnd))
        return "";
    // A string never closed is refused rather than half-sent.
    if (Allows(kQuoted))
        return kInvalidQuote;
    // A pending number is closed by the end, and so is an open group.
    if (Allows(kPending))
        return CloseHex('\0');
    return kUnrecognized;
}

std::string CDetailCompiler::OnQuote(size_t position) {
    if (!Allows(kQuote))
        return kInvalidQuote;
    // Digits run straight into a quotation mark: refused, the number has no closer.
    if (Allows(kPending))
        return kUnrecognized;
    if (!Allows(kQuoted)) {
        m_string.clear();
        m_quotePosition = position;
        m_allowed = kQuote | kQuoted;
        return "";
    }
    for (const char c : m_string)
        Emit(static_cast<uint8_t>(c));
    m_string.clear();
    m_allowed = kSpace | kEnd | (m_groupOpen ? kClose : 0u);
    return "";
}

std::string CDetailCompiler::OnDigit(char c) {
    if (!Allows(kDigit))
        return kUnrecognized;
    m_number += c;
    m_allowed = (m_allowed | kSpace | kClose | kPending) & ~kEnd;
    return "";
}

std::string CDetailCompiler::CloseHex(char closer) {
    if (m_number.size() != 2)
        return "Hexa value should be in 2-digits";
    Emit(static_cast<uint8_t>(ReadHexPrefix(m_number)));
    m_number.clear();
    m_allowed &= ~kPending;
    if (closer == ' ') {
        m_allowed = kElementStart;
    } else if (closer == '>') {
        if (!m_groupOpen)
            return "Brace Already Closed";
        m_groupOpen = false;
        m_allowed = kElementStart | kSpace | kEnd;
    }
    return "";
}

std::string CDetailCompiler::CloseDecimal() {
    const int32_t value = ReadLeadingInt(m_number);
    if (value < 0 || value > 255)
        return "Decimal value should be in range of 0~255.";
    Emit(static_cast<uint8_t>(value));
    m_number.clear();
    m_allowed = kSpace | kEnd | (m_groupOpen ? kClose : kOpen);
    return "";
}

std::string CDetailCompiler::OnOther(char c) {
    switch (c) {
    case ' ':
        if (!Allows(kSpace))
            return kUnrecognized;
        m_allowed = kElementStart;
        return "";
    case '<':
        // Digits running straight into a group are refused, as with a quotation mark.
        if (!Allows(kOpen) || Allows(kPending))
            return kUnrecognized;
        if (m_groupOpen)
            return "Brace Already Opened";
        m_groupOpen = true;
        m_allowed &= ~kOpen;
        return "";
    case '>':
        if (!Allows(kClose))
            return kUnrecognized;
        if (!m_groupOpen)
            return "Brace Already Closed";
        m_groupOpen = false;
        m_allowed = (m_allowed & ~kClose) | kEnd;
        return "";
    default:
        return kUnrecognized;
    }
}

void CDetailCompiler::Emit(uint8_t byte) {
    m_script.AppendByte(byte, m_groupOpen ? JPItemKind::Expect : JPItemKind::Send);
}

} // namespace brivox
