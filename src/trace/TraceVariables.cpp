#include "trace/TraceVariables.h"

namespace brivox {

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The text cut to at most the given bytes without splitting a UTF-8 character.
std::string_view CutToBytes(std::string_view text, size_t bytes) {
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && IsContinuationByte(text[end]))
        --end;
    return text.substr(0, end);
}

} // namespace

int VariablePane(std::string_view name) {
    long sum = 0;
    for (const char c : name)
        sum += static_cast<signed char>(c);
    return static_cast<int>((sum % 3 + 3) % 3);
}

bool CTraceVariables::Set(std::string_view name, std::string_view value) {
    const std::string_view keptName = CutToBytes(name, kMaxNameBytes);
    const std::string_view keptValue = CutToBytes(value, kMaxValueBytes);
    const bool whole = keptName.size() == name.size() && keptValue.size() == value.size();
    const auto entry = m_values.find(keptName);
    if (entry == m_values.end() && m_values.size() >= kMaxVariables)
        return false;
    if (entry != m_values.end() && entry->second == keptValue)
        return whole;
    m_changed[VariablePane(keptName)] = true;
    // Made to size: a value cut from a long command must not keep the command's capacity.
    m_values.insert_or_assign(std::string(keptName), std::string(keptValue));
    return whole;
}

void CTraceVariables::Remove(std::string_view name) {
    const auto entry = m_values.find(CutToBytes(name, kMaxNameBytes));
    if (entry == m_values.end())
        return;
    m_changed[VariablePane(entry->first)] = true;
    m_values.erase(entry);
}

std::string CTraceVariables::PaneText(int pane) const {
    std::string text;
    for (const auto& [name, value] : m_values) {
        if (VariablePane(name) != pane)
            continue;
        if (!text.empty())
            text += ",  ";
        text += name + "=" + value;
    }
    return text;
}

CTraceVariables::PaneTexts CTraceVariables::TakeChangedPanes() {
    PaneTexts texts;
    for (int pane = 0; pane < kPanes; ++pane) {
        if (m_changed[pane])
            texts[pane] = PaneText(pane);
        m_changed[pane] = false;
    }
    return texts;
}

} // namespace brivox
