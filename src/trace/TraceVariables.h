#pragma once

#include <array>
#include <functional>
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

    // Any process may send variables, so what they cost is bounded. The panes lay all of them
    // out on three lines, some 40 bytes of memory for each character shown; these caps (1.3 MB
    // of text at most) keep that within tens of MB, and a trace watches tens of variables of a
    // few words.
    static constexpr size_t kMaxVariables = 1024;
    static constexpr size_t kMaxNameBytes = 256;
    static constexpr size_t kMaxValueBytes = 1024;

    // A name or value beyond its cap is cut at the last whole UTF-8 character within it, and a
    // new variable beyond kMaxVariables is dropped. False when a cap cut or dropped something.
    bool Set(std::string_view name, std::string_view value);
    // The name is cut as Set cuts it, so that a variable goes by the name it was set with.
    void Remove(std::string_view name);
    size_t Count() const { return m_values.size(); }

    // A pane's variables as name=value joined by ",  ".
    std::string PaneText(int pane) const;
    // The texts of the panes that changed since the last call; the others stay empty.
    PaneTexts TakeChangedPanes();

private:
    std::map<std::string, std::string, std::less<>> m_values;
    std::array<bool, kPanes> m_changed{};
};

} // namespace brivox
