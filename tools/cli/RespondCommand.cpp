#include "cli/RespondCommand.h"

#include "cli/ListeningPort.h"
#include "cli/RunOptions.h"
#include "cli/RunPort.h"
#include "cli/StopSignals.h"
#include "rules/Responder.h"
#include "util/Text.h"
#include "util/WallClock.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <ostream>

namespace brivox::cli {

namespace {

std::string Milliseconds(int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(us) / 1000.0);
    return text;
}

// "10:11:12.345678  ack-read  matched 01 03 ...  answered 01 03 ... in 0.210 ms"
std::string HitLine(const CWallClock& clock, const CRule& rule, const CResponderEvent& event) {
    std::string line = WallTimeText(clock.WallUs(event.atUs), false) + "  " + rule.name +
                       "  matched " + HexPairs(event.hit.matched);
    if (event.written)
        line += "  answered " + HexPairs(event.hit.answer) + " in " + Milliseconds(event.latencyUs);
    else if (event.hit.answers)
        line += "  the answer could not be written";
    else if (!rule.answer.Empty())
        line += "  not answered: its count of " + std::to_string(rule.count) + " is spent";
    if (!rule.mark.empty())
        line += "  mark: " + rule.mark;
    return line + "\n";
}

std::string SummaryText(const CResponder& responder) {
    std::string text;
    for (size_t i = 0; i < responder.Rules().size(); ++i) {
        const CResponderStats& stats = responder.Stats()[i];
        text += "rule " + responder.Rules()[i].name + ": " + std::to_string(stats.hits) +
                " hits, " + std::to_string(stats.answers) + " answers" +
                (stats.answers > 0 ? ", longest answer " + Milliseconds(stats.longestUs) : "") +
                "\n";
    }
    return text;
}

// The port, the rules on its bytes and the loop that runs them until the time is up, a stop
// signal, or the port goes away.
class CRespondSession {
public:
    CRespondSession(std::vector<CRule> rules, CCliStreams& io, bool verbose)
        : m_io(io), m_verbose(verbose), m_clock(CWallClock::Now()),
          m_port(CPortEvents{
              [this](const uint8_t* b, const uint8_t*, int n, int64_t at) { Receive(b, n, at); },
              [this](const std::string& reason) { Say("device lost: " + reason); },
              [this] { Back(); }, [this] { m_loop.exit(kPortError); },
              [](const CModemLines&, int64_t) {}}),
          m_responder(
              std::move(rules),
              [this](const std::vector<uint8_t>& bytes) {
                  return m_port.Write(bytes.data(), bytes.size());
              },
              [this](const CResponderEvent& event) {
                  m_io.out << HitLine(m_clock, m_responder.Rules()[event.hit.rule], event)
                           << std::flush;
              }) {}

    CListeningPort& Port() { return m_port; }
    int Run(int seconds) {
        if (seconds > 0)
            QTimer::singleShot(std::chrono::seconds(seconds), &m_loop, [this] { m_loop.exit(0); });
        const int code = m_loop.exec();
        m_io.out << SummaryText(m_responder) << std::flush;
        return code;
    }
    void Stop() { m_loop.exit(0); }

private:
    void Receive(const uint8_t* bytes, int count, int64_t arrivalUs) {
        if (m_verbose)
            Say("RX " + HexPairs({bytes, bytes + count}));
        m_responder.Receive(bytes, static_cast<size_t>(count), arrivalUs);
    }
    void Back() {
        m_responder.Reset();
        Say("device back");
    }
    void Say(const std::string& text) {
        m_io.out << WallTimeText(m_clock.WallUs(CWallClock::SteadyUs(Clock::now())), false) << "  "
                 << text << "\n"
                 << std::flush;
    }

    CCliStreams& m_io;
    const bool m_verbose;
    const CWallClock m_clock;
    QEventLoop m_loop;
    CListeningPort m_port;
    CResponder m_responder;
};

int RunRespond(const CCliArguments& args, CCliStreams& io) {
    CRunOptions options;
    int seconds = 0;
    std::vector<CRule> rules;
    std::string error = ParseRunOptions(args, options);
    if (error.empty())
        error = ParseSeconds(args, seconds);
    if (error.empty())
        error = args.Value("--rules").empty() ? "give --rules FILE"
                                              : LoadRules(args.Value("--rules"), rules);
    if (!error.empty()) {
        io.err << "brivox-cli respond: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    CRespondSession session(std::move(rules), io, args.Has("-v"));
    const CStopSignalWatch stop([&session] { session.Stop(); });
    if (!OpenRunPort(session.Port(), options, "respond", io.err, &stop))
        return kPortError;
    io.err << "brivox-cli respond: answering on " << args.Value("--port") << " at "
           << options.settings << "; Ctrl+C ends" << std::endl;
    const int code = session.Run(seconds);
    if (code == kPortError)
        io.err << "brivox-cli respond: " << session.Port().GetLastError() << "\n";
    return code;
}

} // namespace

CCommand RespondCommand() {
    return {"respond",
            "--port COM<n>|DEVICE --rules FILE [--settings 115200,N,8,1] [--seconds N] [-v] " +
                std::string(kLineOptionsUsage),
            "act as a device: match what arrives against the rules of FILE and send their "
            "answers, printing each hit (time, rule, matched and answered bytes, how long the "
            "answer took) and, at the end (Ctrl+C or --seconds), a line per rule with its hits, "
            "answers and longest answer time; -v prints every chunk received too; exit 3 for a "
            "port error or a bad rules file",
            WithLineOptions({{"--port", true},
                             {"--settings", true},
                             {"--rules", true},
                             {"--seconds", true},
                             {"--timeout", true},
                             {"-v", false}}),
            RunRespond,
            kPortError};
}

} // namespace brivox::cli
