#pragma once

#include "serial/PseudoTerminal.h"
#include "serial/SerialPort.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brivox::test {

// Runs the Qt event loop (creating the application on first use) until done() holds or the
// limit passes; sleeps while no event comes. Returns done().
bool RunEventsUntil(const std::function<bool()>& done, int limitMs = 10000);

// A pseudo-terminal registered in the port map under a COM number while it lives.
class CRegisteredPty {
public:
    explicit CRegisteredPty(int number);
    ~CRegisteredPty();
    CRegisteredPty(const CRegisteredPty&) = delete;
    CRegisteredPty& operator=(const CRegisteredPty&) = delete;

    CPseudoTerminal& Pty() { return m_pty; }
    int Number() const { return m_number; }
    // Writes to the device side (the master).
    void Send(const std::vector<uint8_t>& bytes);
    // Reads exactly count bytes from the device side, waiting at most limitMs; what came.
    std::vector<uint8_t> Receive(size_t count, int limitMs = 10000);

private:
    int m_number;
    CPseudoTerminal m_pty;
};

// While it lives, a device the calling thread may not open (EACCES), as for a user outside the
// dialout group: the node loses its permission bits and, for root, the thread its right to
// override them.
class CDeniedDevice {
public:
    explicit CDeniedDevice(std::string path);
    ~CDeniedDevice();
    CDeniedDevice(const CDeniedDevice&) = delete;
    CDeniedDevice& operator=(const CDeniedDevice&) = delete;

private:
    std::string m_path;
    unsigned m_mode = 0;
    unsigned m_effective = 0;
};

// A port that records what it is told, for tests.
class CRecordingPort : public CSerialPort {
public:
    explicit CRecordingPort(int number, const std::string& settings = "9600,N,8,1");
    ~CRecordingPort() override { Close(); }

    std::vector<uint8_t> Received() const;
    std::vector<std::vector<uint8_t>> chunks;
    // Per chunk: when the reader read it, and when it was delivered.
    std::vector<CPortReader::Clock::time_point> arrivals, deliveries;
    int lost = 0;
    int configFailed = 0;
    int purged = 0;
    bool closeOnReceive = false;

protected:
    void OnReceive(const uint8_t* bytes, int count) override;
    void OnPortLost() override { ++lost; }
    void OnConfigFailed() override { ++configFailed; }
    void OnPurged() override { ++purged; }
};

std::vector<uint8_t> PatternBytes(size_t count);

} // namespace brivox::test
