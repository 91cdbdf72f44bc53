#pragma once

#include "serial/NetworkAddress.h"
#include "serial/PortDevice.h"
#include "serial/Rfc2217Client.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace brivox {

// A port on a serial server (ser2net and the like) over TCP: RFC 2217 carries the line
// settings, RTS, DTR and purges, or with tcp:// the connection is a plain byte stream. The same
// reader serves it as a tty. Nothing goes over the network before Open, and a connection that
// ends is a device that went away.
class CNetworkDevice : public CPortDevice {
public:
    CNetworkDevice();
    ~CNetworkDevice() override;

    // Connects to the address and, for RFC 2217, negotiates, purges the server's buffers and
    // applies the line, waiting at most kServerAnswerLimitMs for the server. A server that
    // refuses COM-PORT-OPTION is used as a stream of data, and Note says so.
    CPortFailure Open(const std::string& address, const CLineConfig& line);
    // Takes the connection up again after its reader was stopped: drops what came meanwhile and
    // applies the line, purging, as Open does. A failure leaves the device to be dropped.
    CPortFailure Resume(const CLineConfig& line);
    const std::string& Address() const { return m_address; }

    // Sends the line when it differs from the one in force; the server's answer is not waited
    // for once Open has returned.
    std::string Configure(const CLineConfig& line) override;
    bool SetModemLine(int line, bool on) override;
    // PURGE-DATA, not waited for; the first Flush after Open, before any Read, is the purge
    // Open has done already (waited for, so that it cannot drop data that comes later).
    bool Flush() override;
    bool SetBreak(bool on) override;
    bool Write(const uint8_t* bytes, size_t count) override;
    int Read(uint8_t* buffer, size_t capacity) override;
    PortError LostError() const override { return PortError::ConnectionClosed; }
    std::string Note() const override { return m_note; }

protected:
    ssize_t WriteSome(const uint8_t* bytes, size_t count) override;

private:
    using Done = std::function<bool()>;

    CPortFailure Negotiate(const CLineConfig& line, Clock::time_point deadline);
    // Reads the connection until done holds; TimedOut, ConnectionClosed or None.
    PortError AwaitServer(const Done& done, Clock::time_point deadline);
    CPortFailure ApplyLine(const CLineConfig& line, Clock::time_point deadline);
    // Bytes of data read from the connection (0 when only telnet came), -1 once it has ended.
    int Receive(uint8_t* buffer, size_t capacity);
    // Sends what the telnet client has to send; on failure the connection is ended, so that the
    // reader reports it.
    bool SendPending(Clock::time_point deadline);
    bool SendCommand(const std::function<void(CRfc2217Client&)>& command);
    bool TakesCommands() const;
    void Break();

    std::string m_address;
    std::unique_ptr<CRfc2217Client> m_telnet; // null for a plain byte stream
    mutable std::mutex m_mutex; // the telnet state and the early bytes: every thread reaches them
    std::mutex m_sendMutex;     // one sender at a time, so that the output keeps its order
    // The end of the data that came while Open waited for the server, for the message when the
    // server closes then; the data itself goes with the purge that follows an open.
    std::string m_serverText;
    uint8_t m_raw[4096] = {}; // what was taken from the connection, before telnet decoding
    CLineConfig m_line;       // the line asked for last
    std::string m_note;
    std::atomic<bool> m_purgedAtOpen{false};
};

} // namespace brivox
