#include "brivox-trace/TraceViewer.h"

#include "cli/CliArguments.h"
#include "trace/OwnTraceWindow.h"
#include "trace/XTraceWindow.h"

#include <QApplication>
#include <QSocketNotifier>
#include <ostream>

namespace brivox::traceviewer {

const char kTraceViewerUsage[] =
    "usage: brivox-trace [-v]\n"
    "The trace window as a program of its own: it shows the trace lines and variables that\n"
    "Brivox and any other process send to the trace window, and ends when it is closed.\n"
    "Only one trace window listens at a time; Brivox makes its own only when none does.\n"
    "  -v      print \"listening at PATH\", then every command received, one a line\n"
    "  --help  this text\n";

std::string ParseTraceViewerOptions(const std::vector<std::string>& args,
                                    CTraceViewerOptions& options) {
    cli::CCliArguments parsed;
    if (std::string error = parsed.Parse(args, {{"-v", false}, {"--help", false}}); !error.empty())
        return error;
    if (!parsed.Positionals().empty())
        return "unexpected argument " + parsed.Positionals()[0];
    options.verbose = parsed.Has("-v");
    options.help = parsed.Has("--help");
    return "";
}

int RunTraceViewer(const CTraceViewerOptions& options, int stopFd, std::ostream& out,
                   std::ostream& err) {
    COwnTraceWindow own;
    own.CreateTraceWindow();
    CXTraceWindow* window = own.Window();
    if (!window->ChannelError().empty()) {
        err << "brivox-trace: " << window->ChannelError() << "\n";
        return 1;
    }
    if (options.verbose) {
        out << "listening at " << TraceWindowSocketPath() << std::endl;
        QObject::connect(window, &CXTraceWindow::CommandReceived, window,
                         [&out](const std::string& command) { out << command << std::endl; });
    }
    // A tool window does not end the application by itself.
    QObject::connect(window, &QObject::destroyed, qApp, &QCoreApplication::quit);
    if (stopFd >= 0) {
        auto* stop = new QSocketNotifier(stopFd, QSocketNotifier::Read, window);
        QObject::connect(stop, &QSocketNotifier::activated, window, &QWidget::close);
    }
    return QApplication::exec();
}

} // namespace brivox::traceviewer
