#pragma once

#include <string>
#include <vector>

class QWidget;

namespace brivox::test {

// What a user would see as broken in a dialog's shown controls: two controls overlapping; a
// control meeting a frame's lines or its title instead of lying clear inside or outside it; a
// label, button or check box whose text does not fit (wrapped labels included).
std::vector<std::string> LayoutProblems(const QWidget& dialog);

} // namespace brivox::test
