#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace brivox {

// The pane (0 to 2) a variable is shown in: the sum of its name's bytes, each read as a signed
// 8-bit value, modulo 3.
int VariablePane(std::string_view name);

// The named variables of a trace window, grouped into its three variable panes. A pane is
// redrawn only when one of its variables changed.
class CTraceVariables {
public:
    static constexpr int kPanes = 3;
    using PaneTexts = std::array<std::optional<std::string>, kPanes>;

    void Set(const std::string& name, const std::string& value);
    void Remove(const std::string& name);

    // A pane's variables as name=value joined by ",  ".
    std::string PaneText(int pane) const;
    // The texts of the panes that changed since the last call; the others stay empty.
    PaneTexts TakeChangedPanes();

private:
    std::map<std::string, std::string> m_values;
    std::array<bool, kPanes> m_changed{};
};

} // namespace brivox
