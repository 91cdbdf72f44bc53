#pragma once

#include "serial/LineConfig.h"
#include "serial/TelnetFilter.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct telnet_t;
union telnet_event_t;

namespace brivox {

// The client end of RFC 2217 over libtelnet, without the connection: received bytes go in and
// their data comes out, and what is to be sent collects until TakeOutput. BINARY is asked for in
// both directions, so that CR, NUL and every other byte pass untouched; 0xFF is escaped both
// ways; COM-PORT-OPTION carries the line settings, RTS and DTR and purges. The server's
// notifications (modem and line state, signatures) are ignored. Not thread-safe.
class CRfc2217Client {
public:
    static constexpr uint8_t kComPortOption = 44;
    // SET-CONTROL values.
    static constexpr uint8_t kDtrOn = 8;
    static constexpr uint8_t kDtrOff = 9;
    static constexpr uint8_t kRtsOn = 11;
    static constexpr uint8_t kRtsOff = 12;
    static constexpr uint8_t kBreakOn = 5;
    static constexpr uint8_t kBreakOff = 6;

    enum class ComPort { Asked, Accepted, Refused };

    CRfc2217Client();
    CRfc2217Client(const CRfc2217Client&) = delete;
    CRfc2217Client& operator=(const CRfc2217Client&) = delete;
    ~CRfc2217Client();

    // Asks for BINARY both ways and offers COM-PORT-OPTION.
    void Start();
    // Takes received bytes; writes their data to data (at most count bytes, never more than
    // capacity) and returns how many.
    size_t Receive(const uint8_t* bytes, size_t count, uint8_t* data, size_t capacity);

    void SendData(const uint8_t* bytes, size_t count);
    // SET-BAUDRATE, SET-DATASIZE, SET-PARITY and SET-STOPSIZE; forgets earlier confirmations.
    void SendLine(const CLineConfig& line);
    void SendControl(uint8_t value);
    // PURGE-DATA of both of the server's buffers; forgets an earlier confirmation.
    void SendPurge();
    // What is to be sent, from the last call on.
    std::string TakeOutput();

    ComPort ComPortState() const;
    // Any telnet command came from the server.
    bool SpokeTelnet() const { return m_filter.SawCommand(); }
    // True once the server has answered all four line commands since the last SendLine;
    // applied then holds what it reported.
    bool LineConfirmed(CLineConfig& applied) const;
    // True once the server has answered the last SendPurge.
    bool PurgeConfirmed() const;
    // libtelnet met an error it cannot recover from; the stream can no longer be read.
    bool Broken() const { return m_broken; }

private:
    static void OnEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void OnData(const char* bytes, size_t count);
    void OnComPort(const uint8_t* bytes, size_t count);
    void SendComPort(std::initializer_list<uint8_t> command);

    telnet_t* m_telnet = nullptr;
    CTelnetFilter m_filter{kComPortOption};
    std::string m_filtered; // reused for every receive
    std::string m_output;
    uint8_t* m_data = nullptr; // where data goes during Receive
    size_t m_dataLength = 0;
    size_t m_dataCapacity = 0;
    unsigned m_answered = 0; // one bit per command answered, by its number
    CLineConfig m_applied;
    bool m_broken = false;
};

} // namespace brivox
