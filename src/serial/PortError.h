#pragma once

#include <string>

namespace brivox {

// What went wrong with a port, in the words its user needs. The window and the command line
// share it; system error numbers map onto it as Qt Serial Port maps them onto its own errors.
enum class PortError {
    None,
    NoSuchPort,       // no device has that COM number
    NotFound,         // the device node is missing or has no hardware behind it
    PermissionDenied, // the user may not open the device
    InUse,            // another program holds the device
    NotATerminal,     // the path names no serial device
    Gone,             // the device went away
    BadAddress,       // a server address that is neither rfc2217://HOST:PORT nor tcp://HOST:PORT
    UnknownHost,      // the server's name does not resolve
    Refused,          // nothing listens at the server's port
    TimedOut,         // the server did not answer in time
    ConnectionClosed, // the server ended the connection
    Interrupted,      // a stop signal ended the open
    Other,
};

// Why an open failed: the kind, the system's error number behind it, and what else the user
// needs to know, if anything (a serial server's own words when it turned the client away).
struct CPortFailure {
    PortError error = PortError::None;
    int systemError = 0;
    std::string detail;
};

PortError PortErrorOf(int systemError);

// The reason that follows "Cannot open COM5 (/dev/ttyUSB0): "; systemError words Other.
std::string PortErrorReason(PortError error, int systemError = 0);

// "COM5 (/dev/ttyUSB0)"; the one that is not empty when the other is.
std::string PortSubject(const std::string& portName, const std::string& device);

// "Cannot open COM5 (/dev/ttyUSB0): in use by another program".
std::string PortOpenMessage(const std::string& subject, PortError error, int systemError = 0);
// The same with the failure's detail after the reason: "...: the server closed the connection
// (Port's device already in use)".
std::string PortOpenMessage(const std::string& subject, const CPortFailure& failure);

// "COM5" for 5, whatever name the port opens under.
std::string ComPortName(int number);

} // namespace brivox
