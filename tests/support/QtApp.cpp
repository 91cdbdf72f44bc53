#include "support/QtApp.h"

#include <QApplication>

namespace brivox::test {

QApplication& QtApp() {
    static int argc = 1;
    static char name[] = "brivox-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace brivox::test
