#pragma once

class QApplication;

namespace brivox::test {

// The one QApplication of a GUI test binary, made on first use (offscreen, see TestMain).
QApplication& QtApp();

// Put first among a fixture's members when later members are widgets.
struct CQtAppFirst {
    CQtAppFirst() { QtApp(); }
};

} // namespace brivox::test
