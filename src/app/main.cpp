#include "app/BrivoxApp.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Brivox"));
    // Child sessions are windows of their own: only the main frame ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    brivox::CBrivoxApp app;
    if (!app.InitInstance())
        return 1;
    const int code = QApplication::exec();
    app.ExitInstance();
    return code;
}
