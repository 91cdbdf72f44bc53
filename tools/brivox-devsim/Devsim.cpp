#include "brivox-devsim/Devsim.h"

#include "platform/FileIO.h"
#include "serial/PortDiscovery.h"
#include "util/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <ostream>
#include <poll.h>
#include <unistd.h>

namespace brivox::devsim {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds until the earliest of the moments (-1: none is set).
int MillisecondsUntil(Clock::time_point now, std::initializer_list<Clock::time_point> moments) {
    const Clock::time_point first = std::min(moments);
    if (first == Clock::time_point::max())
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(first - now).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
}

} // namespace

CDevsim::~CDevsim() {
    if (m_registered != 0)
        UnregisterPort(PortMapFolder(), m_registered, LinkTarget());
}

std::string CDevsim::Start(int registerNumber) {
    if (std::string error = m_pty.Open(); !error.empty())
        return error;
    m_lineFd = m_pty.Master();
    if (registerNumber == 0)
        return "";
    if (registerNumber == kFreeNumber) {
        std::vector<int> inUse;
        for (const CPortEntry& entry : DiscoverPortTable())
            inUse.push_back(entry.number);
        std::string error;
        m_registered = RegisterFreePort(PortMapFolder(), LinkTarget(), inUse, error);
        return error;
    }
    if (std::string error = RegisterPort(PortMapFolder(), registerNumber, LinkTarget());
        !error.empty())
        return error;
    m_registered = registerNumber;
    return "";
}

std::string CDevsim::Attach(const std::string& path, const std::string& settings) {
    CLineConfig line;
    if (std::string error = ParseLineConfig(settings, line); !error.empty())
        return "--settings " + settings + ": " + error;
    if (const int error = m_device.Open(path); error != 0)
        return "cannot open " + path + ": " + std::strerror(error);
    if (std::string error = m_device.Configure(line); !error.empty())
        return "cannot configure " + path + ": " + error;
    m_attached = true;
    m_attachedPath = path;
    m_lineFd = m_device.Descriptor();
    return "";
}

std::string CDevsim::StartTap() {
    if (std::string error = m_tap.Open(); !error.empty())
        return error;
    return fcntl(m_tap.Master(), F_SETFL, O_NONBLOCK) == 0 ? "" : std::strerror(errno);
}

// Through this process's descriptor of the terminal, so that the link dies with the process.
std::string CDevsim::LinkTarget() const {
    return ProcessOwnedPath(m_pty.Slave());
}

std::string CDevsim::Serve(int seconds, int stopFd) {
    const Clock::time_point end =
        seconds > 0 ? Clock::now() + std::chrono::seconds(seconds) : Clock::time_point::max();
    Clock::time_point lastBytes = Clock::now();
    // What a listener writes into the tap goes nowhere.
    pollfd fds[4] = {{m_lineFd, POLLIN, 0},
                     {stopFd, POLLIN, 0},
                     {m_tap.Master(), POLLIN, 0},
                     {m_program.OutputFd(), POLLIN, 0}};
    for (;;) {
        const int quietMs = m_model.QuietMs();
        const Clock::time_point quietAt =
            quietMs < 0 ? Clock::time_point::max() : lastBytes + std::chrono::milliseconds(quietMs);
        const Clock::time_point delayedAt = SendDue();
        const int ready = poll(fds, 4, MillisecondsUntil(Clock::now(), {end, quietAt, delayedAt}));
        if (ready < 0 && errno != EINTR)
            return std::string("poll: ") + std::strerror(errno);
        if (fds[1].revents != 0)
            return "";
        if (fds[2].revents != 0) {
            uint8_t discard[4096];
            if (read(m_tap.Master(), discard, sizeof discard) < 0 && errno != EAGAIN)
                fds[2].fd = -1;
        }
        if (ready > 0 && fds[0].revents != 0) {
            if (!ReadRequests())
                return std::string("read: ") + std::strerror(errno);
            lastBytes = Clock::now();
        }
        if (ready > 0 && fds[3].revents != 0) {
            ReadProgram();
            fds[3].fd = m_program.OutputFd();
        }
        const Clock::time_point now = Clock::now();
        if (now >= end)
            return "";
        if (ready == 0 && now >= quietAt)
            Answer(m_model.Quiet());
    }
}

bool CDevsim::ReadRequests() {
    uint8_t buffer[4096];
    const ssize_t count = read(m_lineFd, buffer, sizeof buffer);
    if (count < 0)
        return errno == EINTR || errno == EAGAIN;
    Mirror(buffer, static_cast<size_t>(count));
    if (m_lineEcho)
        WriteAll(m_lineFd, buffer, static_cast<size_t>(count));
    if (m_program.Running()) {
        const std::vector<uint8_t> passed =
            m_programFault.Apply({buffer, buffer + static_cast<size_t>(count)});
        m_program.Write(passed.data(), passed.size());
    }
    Answer(m_model.Receive(buffer, static_cast<size_t>(count)));
    return true;
}

void CDevsim::ReadProgram() {
    uint8_t buffer[4096];
    const ssize_t count = m_program.Read(buffer, sizeof buffer);
    if (count > 0)
        Send({buffer, buffer + count});
    else if (count == 0)
        m_log << "exit " << m_program.Ended() << std::endl;
}

void CDevsim::Answer(const std::vector<CExchange>& exchanges) {
    for (const CExchange& exchange : exchanges) {
        Log("RX", exchange.request);
        if (exchange.delayMs == 0) {
            Send(exchange.reply);
            continue;
        }
        const Clock::time_point due = Clock::now() + std::chrono::milliseconds(exchange.delayMs);
        const auto later = std::upper_bound(m_delayed.begin(), m_delayed.end(), due,
                                            [](auto at, const auto& d) { return at < d.first; });
        m_delayed.insert(later, {due, exchange.reply});
    }
}

Clock::time_point CDevsim::SendDue() {
    while (!m_delayed.empty() && m_delayed.front().first <= Clock::now()) {
        Send(m_delayed.front().second);
        m_delayed.erase(m_delayed.begin());
    }
    return m_delayed.empty() ? Clock::time_point::max() : m_delayed.front().first;
}

void CDevsim::Send(const std::vector<uint8_t>& exchangeReply) {
    const std::vector<uint8_t> reply = m_fault.Apply(exchangeReply);
    if (reply.empty())
        return;
    Log("TX", reply);
    WriteAll(m_lineFd, reply.data(), reply.size());
    Mirror(reply.data(), reply.size());
}

void CDevsim::Mirror(const uint8_t* bytes, size_t count) {
    if (m_tap.Master() < 0)
        return;
    const ssize_t written = write(m_tap.Master(), bytes, count);
    static_cast<void>(written); // what finds no room (EAGAIN) is lost, as the class says
}

void CDevsim::Log(const char* direction, const std::vector<uint8_t>& bytes) {
    if (m_verbose)
        m_log << direction << " " << HexPairs(bytes) << std::endl;
}

} // namespace brivox::devsim
