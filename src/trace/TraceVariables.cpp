#include "trace/TraceVariables.h"

namespace brivox {

int VariablePane(std::string_view name) {
    long sum = 0;
    for (const char c : name)
        sum += static_cast<signed char>(c);
    return static_cast<int>((sum % 3 + 3) % 3);
}

void CTraceVariables::Set(const std::string& name, const std::string& value) {
    auto [entry, added] = m_values.try_emplace(name, value);
    if (!added && entry->second == value)
        return;
    entry->second = value;
    m_changed[VariablePane(name)] = true;
}

void CTraceVariables::Remove(const std::string& name) {
    if (m_values.erase(name) > 0)
        m_changed[VariablePane(name)] = true;
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
