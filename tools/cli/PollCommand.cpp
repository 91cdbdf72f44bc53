#include "cli/PollCommand.h"

#include "cli/ListeningPort.h"
#include "cli/PollOutput.h"
#include "cli/RunOptions.h"
#include "cli/RunPort.h"
#include "cli/StopSignals.h"
#include "modbus/ModbusPoll.h"
#include "util/WallClock.h"

#include <QBasicTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimerEvent>
#include <algorithm>
#include <charconv>
#include <optional>
#include <ostream>

namespace brivox::cli {

namespace {

constexpr int kSomeCycleFailed = 1;
constexpr int kDefaultPort = 502;
constexpr const char* kModbusTcpScheme = "modbustcp://";

// Everything the command line says about the poll.
struct CPollRequest {
    CModbusPollDefinition definition;
    CModbusValueFormat values;
    PollFormat format = PollFormat::Text;
    int cycles = 0; // 0: until Ctrl+C
    CRunOptions port;
};

bool ParseHex(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 16);
    return !text.empty() && text.size() <= 4 && error == std::errc() && stop == end;
}

bool ParseDouble(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end;
}

// modbustcp://HOST[:PORT] is MODBUS TCP on a plain socket, 502 unless a port is given.
std::string ParsePollPort(const std::string& port, CPollRequest& request) {
    if (port.rfind(kModbusTcpScheme, 0) != 0)
        return ParsePort(port, request.port);
    request.definition.transport = ModbusTransport::Tcp;
    std::string address = port.substr(std::string(kModbusTcpScheme).size());
    if (address.find(':') == std::string::npos)
        address += ":" + std::to_string(kDefaultPort);
    return ParsePort("tcp://" + address, request.port);
}

std::string ParseDefinition(const CCliArguments& args, CPollRequest& request) {
    CModbusPollDefinition& d = request.definition;
    if (args.Has("--ascii"))
        d.transport = ModbusTransport::Ascii;
    if (!NumberIn(args.Value("--slave", "1"), 1, 247, d.slave))
        return "--slave takes 1 to 247";
    if (!ParseHex(args.Value("--function", "03"), d.function))
        return "--function takes 01, 02, 03 or 04";
    if (!ParseHex(args.Value("--start", "0000"), d.start))
        return "--start takes 1 to 4 hex digits (0000 to FFFF)";
    if (!NumberIn(args.Value("--count", "10"), 1, 2000, d.count))
        return "--count takes 1 to 2000";
    if (!NumberIn(args.Value("--interval", "1000"), 0, 3600000, d.intervalMs))
        return "--interval takes 0 to 3600000 ms";
    if (!NumberIn(args.Value("--timeout", "1000"), 1, 60000, d.timeoutMs))
        return "--timeout takes 1 to 60000 ms";
    if (args.Has("--cycles") && !NumberIn(args.Value("--cycles"), 1, 1000000000, request.cycles))
        return "--cycles takes a whole number, at least 1";
    return CheckModbusPollDefinition(d);
}

std::string ParseValueFormat(const CCliArguments& args, CPollRequest& request) {
    CModbusValueFormat& v = request.values;
    std::string error = ParseModbusValueType(args.Value("--type", "u16"), v.type);
    if (error.empty())
        error = ParseModbusWordOrder(args.Value("--order", "ABCD"), v.order);
    if (!error.empty())
        return error;
    if (!ParseDouble(args.Value("--scale", "1"), v.scale) ||
        !ParseDouble(args.Value("--offset", "0"), v.offset))
        return "--scale and --offset take numbers";
    v.stringRegisters = request.definition.count;
    const bool bits = request.definition.function <= 0x02;
    if (bits && v.type != ModbusValueType::U16)
        return "coils and discrete inputs are read as 0 and 1: --type goes with 03 and 04";
    if (request.definition.count % RegistersPerValue(v) != 0)
        return "--count " + std::to_string(request.definition.count) + " is no whole number of " +
               args.Value("--type") + " values (" + std::to_string(RegistersPerValue(v)) +
               " registers each)";
    return ParsePollFormat(args.Value("--format", "text"), request.format);
}

std::string ParsePollRequest(const CCliArguments& args, CPollRequest& request) {
    std::string error = args.Value("--port").empty() ? "give --port" : "";
    if (error.empty())
        error = ParseRunOptions(args, request.port);
    if (error.empty())
        error = ParsePollPort(args.Value("--port"), request);
    if (error.empty())
        error = ParseDefinition(args, request);
    return error.empty() ? ParseValueFormat(args, request) : error;
}

// The port and the loop that drives the poll: a request when it is due, the replies as they
// come, a wake at the poll's next moment; a line a cycle.
class CPollSession : public QObject {
public:
    CPollSession(const CPollRequest& request, CCliStreams& io)
        : m_request(request), m_io(io), m_clock(CWallClock::Now()),
          m_output(request.format, request.values, request.definition.start,
                   request.definition.count),
          m_port(CPortEvents{
              [this](const uint8_t* b, const uint8_t*, int n, int64_t at) { Receive(b, n, at); },
              [this](const std::string&) { PortGone(); }, [] {}, [this] { PortGone(); },
              [](const CModemLines&, int64_t) {}}) {}

    CListeningPort& Port() { return m_port; }
    int Run() {
        const bool tcp = m_request.definition.transport == ModbusTransport::Tcp;
        m_poll.emplace(m_request.definition,
                       tcp ? std::chrono::nanoseconds(0) : m_port.LineCharacterTime());
        m_io.out << m_output.Header() << std::flush;
        Pump();
        const int code = m_loop.exec();
        m_io.err << "brivox-cli poll: "
                 << m_poll->Statistics().Summary(m_request.definition.transport ==
                                                 ModbusTransport::Ascii)
                 << "\n";
        if (code == kPortError)
            m_io.err << "brivox-cli poll: " << m_port.GetLastError() << "\n";
        return code;
    }
    void Stop() { Finish(); }

protected:
    void timerEvent(QTimerEvent* event) override {
        if (event->timerId() == m_wake.timerId())
            Pump();
    }

private:
    void Receive(const uint8_t* bytes, int count, int64_t arrivalUs) {
        const CModbusPoll::Clock::time_point arrival{std::chrono::microseconds(arrivalUs)};
        if (m_poll && m_poll->Receive(bytes, static_cast<size_t>(count), arrival))
            Report();
        Pump();
    }
    void Pump() {
        if (m_ending)
            return;
        const auto now = CModbusPoll::Clock::now();
        if (m_poll->Expire(now))
            Report();
        if (m_ending)
            return;
        if (const std::vector<uint8_t> frame = m_poll->TakeRequest(now); !frame.empty()) {
            if (!m_port.Write(frame.data(), frame.size()))
                return PortGone();
            m_port.AwaitSent();
            m_poll->Sent(CModbusPoll::Clock::now());
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_poll->NextWake() -
                                                                       CModbusPoll::Clock::now());
        m_wake.start(std::max<int>(0, static_cast<int>(wait.count())), Qt::PreciseTimer, this);
    }
    void Report() {
        const CModbusPollResult& result = m_poll->LastResult();
        m_failed |= result.outcome != ModbusPollOutcome::Valid;
        const std::string time =
            WallTimeText(m_clock.WallUs(CWallClock::SteadyUs(CModbusPoll::Clock::now())), false);
        m_io.out << m_output.Line(time, result) << std::flush;
        if (m_request.cycles > 0 && ++m_cycles >= m_request.cycles)
            Finish();
    }
    void Finish() {
        m_ending = true;
        m_wake.stop();
        m_loop.exit(m_failed ? kSomeCycleFailed : 0);
    }
    void PortGone() {
        m_ending = true;
        m_wake.stop();
        m_loop.exit(kPortError);
    }

    const CPollRequest& m_request;
    CCliStreams& m_io;
    const CWallClock m_clock;
    CPollOutput m_output;
    QEventLoop m_loop;
    CListeningPort m_port;
    std::optional<CModbusPoll> m_poll;
    QBasicTimer m_wake;
    int m_cycles = 0;
    bool m_failed = false;
    bool m_ending = false;
};

int RunPoll(const CCliArguments& args, CCliStreams& io) {
    CPollRequest request;
    if (std::string error = ParsePollRequest(args, request); !error.empty()) {
        io.err << "brivox-cli poll: " << error << "\n";
        return kPortError;
    }
    EventLoop();
    CPollSession session(request, io);
    const CStopSignalWatch stop([&session] { session.Stop(); });
    if (!OpenRunPort(session.Port(), request.port, "poll", io.err, &stop))
        return kPortError;
    return session.Run();
}

} // namespace

CCommand PollCommand() {
    return {"poll",
            "--port COM<n>|DEVICE|tcp://HOST:PORT|modbustcp://HOST[:PORT] [--ascii] [--slave N] "
            "[--function 01|02|03|04] [--start HEX] [--count N] "
            "[--type u16|s16|hex|bin|u32|s32|f32|u64|s64|f64|string] "
            "[--order ABCD|CDAB|BADC|DCBA] [--scale K] [--offset C] [--interval MS] "
            "[--timeout MS] [--cycles N] [--format text|csv|jsonl] [--settings 115200,N,8,1] " +
                std::string(kLineOptionsUsage),
            "read a block of coils or registers (RTU, --ascii, or MODBUS TCP) every interval "
            "(ms, 1000; 0: back to back), a line a cycle with the values as the type and order "
            "read them or the error; at the end (Ctrl+C or --cycles) the link's statistics on "
            "stderr; exit 0 when every cycle got a valid reply, 1 otherwise, 3 for a port error",
            WithLineOptions({{"--port", true},
                             {"--settings", true},
                             {"--ascii", false},
                             {"--slave", true},
                             {"--function", true},
                             {"--start", true},
                             {"--count", true},
                             {"--type", true},
                             {"--order", true},
                             {"--scale", true},
                             {"--offset", true},
                             {"--interval", true},
                             {"--timeout", true},
                             {"--cycles", true},
                             {"--format", true}}),
            RunPoll,
            kPortError};
}

} // namespace brivox::cli
