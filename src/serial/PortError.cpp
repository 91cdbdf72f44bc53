#include "serial/PortError.h"

#include "serial/NetworkAddress.h"

#include <cerrno>
#include <cstring>

namespace brivox {

PortError PortErrorOf(int systemError) {
    switch (systemError) {
    case 0:
        return PortError::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return PortError::NotFound;
    case EACCES:
    case EPERM:
        return PortError::PermissionDenied;
    case EBUSY:
    case EAGAIN: // a lock another process holds
        return PortError::InUse;
    case ENOTTY:
        return PortError::NotATerminal;
    case ECONNREFUSED:
        return PortError::Refused;
    case ETIMEDOUT:
        return PortError::TimedOut;
    case ECANCELED:
        return PortError::Interrupted;
    case ECONNRESET:
    case EPIPE:
        return PortError::ConnectionClosed;
    case EIO:
    case EBADF:
        return PortError::Gone;
    default:
        return PortError::Other;
    }
}

std::string PortErrorReason(PortError error, int systemError) {
    switch (error) {
    case PortError::None:
        return "";
    case PortError::NoSuchPort:
        return "no such port";
    case PortError::NotFound:
        return "no such device";
    case PortError::PermissionDenied:
        return "permission denied. Add your user to the dialout group (sudo usermod -aG dialout "
               "$USER) and log in again.";
    case PortError::InUse:
        return "in use by another program";
    case PortError::NotATerminal:
        return "not a serial device";
    case PortError::Gone:
        return "the device went away";
    case PortError::BadAddress:
        return "not a serial server address; write rfc2217://HOST:PORT or tcp://HOST:PORT";
    case PortError::UnknownHost:
        return "unknown host";
    case PortError::Refused:
        return "connection refused (is the serial server running on that port?)";
    case PortError::TimedOut:
        return "no answer within " + std::to_string(kServerAnswerLimitMs / 1000) + " s";
    case PortError::ConnectionClosed:
        return "the server closed the connection";
    case PortError::Interrupted:
        return "interrupted";
    case PortError::Other:
        break;
    }
    return systemError != 0 ? std::strerror(systemError) : "unknown error";
}

std::string PortSubject(const std::string& portName, const std::string& device) {
    if (portName.empty() || device.empty())
        return portName + device;
    return portName + " (" + device + ")";
}

std::string PortOpenMessage(const std::string& subject, PortError error, int systemError) {
    return "Cannot open " + subject + ": " + PortErrorReason(error, systemError);
}

std::string PortOpenMessage(const std::string& subject, const CPortFailure& failure) {
    const std::string message = PortOpenMessage(subject, failure.error, failure.systemError);
    return failure.detail.empty() ? message : message + " (" + failure.detail + ")";
}

std::string ComPortName(int number) {
    return "COM" + std::to_string(number);
}

} // namespace brivox
