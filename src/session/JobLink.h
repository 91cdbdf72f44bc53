#pragma once

#include "script/ScriptHost.h"
#include "script/ScriptRunState.h"

#include <atomic>
#include <cstdint>
#include <shared_mutex>

class QObject;

namespace brivox {

class CSerialPort;

// What a session's send, repeat and test-send jobs reach: the run state, the port and the
// receiver of their byte reports. Every job shares it, so that a job the session had to let go
// finds the port and the receiver detached instead of destroyed.
class CJobLink {
public:
    // The report a job posts for each byte: wParam the byte, lParam its kind.
    static constexpr uint32_t kReportMessage = 0x507;

    CJobLink(CSerialPort& port, QObject& receiver) : m_port(&port), m_receiver(&receiver) {}

    CScriptRunState& RunState() { return m_runState; }
    // 1 while a test block may go on; cleared when Test Send is unchecked.
    std::atomic<int>& TestSendActive() { return m_testSendActive; }

    // False once detached.
    bool Write(const uint8_t* data, int32_t count);
    bool SetRts(bool raised);
    void Report(uint8_t byte, ByteReport kind);

    // From now on writes fail and reports go nowhere; returns once no job is inside a write.
    void Detach();

private:
    CScriptRunState m_runState;
    std::atomic<int> m_testSendActive{0};
    std::shared_mutex m_mutex; // shared by jobs using the port or receiver, unique to detach
    CSerialPort* m_port;
    QObject* m_receiver;
};

} // namespace brivox
