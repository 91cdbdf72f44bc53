#include "brivox-trace/TraceViewer.h"
#include "cli/StopSignals.h"

#include <QApplication>
#include <QStyleFactory>
#include <iostream>

int main(int argc, char** argv) {
    using namespace brivox::traceviewer;
    CTraceViewerOptions options;
    if (const std::string error = ParseTraceViewerOptions({argv + 1, argv + argc}, options);
        !error.empty()) {
        std::cerr << "brivox-trace: " << error << "\n" << kTraceViewerUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kTraceViewerUsage;
        return 0;
    }
    // A stop signal closes the window, which removes its socket file.
    const int stopFd = brivox::cli::StopSignalDescriptor();

    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("brivox-trace"));
    QApplication::setQuitOnLastWindowClosed(false);
    return RunTraceViewer(options, stopFd, std::cout, std::cerr);
}
