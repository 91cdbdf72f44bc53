#pragma once

#include "support/TempFolder.h"

#include <string>
#include <sys/types.h>

namespace brivox::test {

// Debian's ser2net as a child process serving one device on 127.0.0.1, at a free port, with a
// configuration of its own; stopped when the object goes.
class CSer2netProcess {
public:
    enum class Kind {
        Rfc2217, // telnet with RFC 2217
        Telnet,  // telnet without RFC 2217: it refuses COM-PORT-OPTION
        Raw,     // a plain TCP byte stream
    };

    explicit CSer2netProcess(const std::string& devicePath, Kind kind = Kind::Rfc2217);
    ~CSer2netProcess();
    CSer2netProcess(const CSer2netProcess&) = delete;
    CSer2netProcess& operator=(const CSer2netProcess&) = delete;

    // rfc2217://127.0.0.1:PORT for Rfc2217 and Telnet, tcp://127.0.0.1:PORT for Raw.
    std::string Url() const;
    // Starts it again on the same port; false when it does not listen within 10 s.
    bool Start();
    // Ends it at once, as a crash would: its connections close.
    void Kill();

private:
    bool Listening() const;

    CTempFolder m_folder;
    Kind m_kind;
    int m_port;
    pid_t m_pid = 0;
};

} // namespace brivox::test
