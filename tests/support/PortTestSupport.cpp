#include "support/PortTestSupport.h"

#include "serial/PortMap.h"
#include "support/QtApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace brivox::test {

namespace {

// GUI tests and port tests share one application object.
QCoreApplication& Application() {
    return QtApp();
}

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max(0, static_cast<int>(left.count()));
}

} // namespace

bool RunEventsUntil(const std::function<bool()>& done, int limitMs) {
    Application();
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    // Sleeps until an event; the timer wakes it for what other threads change without one.
    QTimer recheck;
    recheck.start(5);
    while (!done() && MillisecondsLeft(deadline) > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

CRegisteredPty::CRegisteredPty(int number) : m_number(number) {
    Application();
    const std::string error = m_pty.Open();
    EXPECT_EQ(error, "");
    EXPECT_EQ(RegisterPort(PortMapFolder(), number, m_pty.SlavePath()), "");
}

namespace {

struct CCapabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
};

CCapabilities ThreadCapabilities() {
    CCapabilities caps;
    syscall(SYS_capget, &caps.header, caps.data);
    return caps;
}

} // namespace

CDeniedDevice::CDeniedDevice(std::string path) : m_path(std::move(path)) {
    struct stat info {};
    EXPECT_EQ(stat(m_path.c_str(), &info), 0);
    m_mode = info.st_mode & 07777;
    EXPECT_EQ(chmod(m_path.c_str(), 0), 0);
    CCapabilities caps = ThreadCapabilities();
    m_effective = caps.data[0].effective;
    caps.data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &caps.header, caps.data);
}

CDeniedDevice::~CDeniedDevice() {
    CCapabilities caps = ThreadCapabilities();
    caps.data[0].effective = m_effective;
    syscall(SYS_capset, &caps.header, caps.data);
    chmod(m_path.c_str(), m_mode);
}

CRegisteredPty::~CRegisteredPty() {
    UnregisterPort(PortMapFolder(), m_number, m_pty.SlavePath());
}

void CRegisteredPty::Send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(m_pty.Master(), bytes.data() + done, bytes.size() - done);
        ASSERT_GT(written, 0);
        done += static_cast<size_t>(written);
    }
}

std::vector<uint8_t> CRegisteredPty::Receive(size_t count, int limitMs) {
    std::vector<uint8_t> bytes(count);
    size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    pollfd fd{m_pty.Master(), POLLIN, 0};
    while (done < count && poll(&fd, 1, MillisecondsLeft(deadline)) > 0) {
        const ssize_t got = read(m_pty.Master(), bytes.data() + done, count - done);
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

CRecordingPort::CRecordingPort(int number, const std::string& settings) {
    SetCommPort(number);
    SetSettings(settings);
}

std::vector<uint8_t> CRecordingPort::Received() const {
    std::vector<uint8_t> all;
    for (const auto& chunk : chunks)
        all.insert(all.end(), chunk.begin(), chunk.end());
    return all;
}

void CRecordingPort::OnReceive(const uint8_t* bytes, int count) {
    chunks.emplace_back(bytes, bytes + count);
    arrivals.push_back(ChunkArrival());
    deliveries.push_back(CPortReader::Clock::now());
    if (closeOnReceive)
        Close();
}

std::vector<uint8_t> PatternBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    return bytes;
}

} // namespace brivox::test
