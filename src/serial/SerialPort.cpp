#include "serial/SerialPort.h"

#include "serial/NetworkAddress.h"
#include "serial/NetworkDevice.h"
#include "serial/PortDiscovery.h"
#include "serial/PortRelay.h"
#include "serial/TtyDevice.h"

#include <QMetaObject>
#include <cerrno>
#include <sys/ioctl.h>

namespace brivox {

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::Open() {
    m_lastError.clear();
    m_lastErrorKind = PortError::None;
    if (m_reader && m_reader->IsRunning()) {
        m_lastError = "Cannot open " + Subject() + ": already open";
        m_lastErrorKind = PortError::Other;
        return false;
    }
    // A reader that ended because the device went away: its notice has not come yet.
    Close();
    if (!m_relay)
        m_relay = std::make_unique<CPortRelay>(*this);
    m_deviceName = ComDeviceName(GetCommPort());
    std::shared_ptr<CPortDevice> device;
    if (const CPortFailure failure = OpenDevice(device); failure.error != PortError::None)
        return Fail(failure);
    if (!device->Configure(LineConfigFor(*this)).empty()) {
        // The device is released here, with the last reference.
        m_lastError = kCantConfigMessage;
        m_lastErrorKind = PortError::Other;
        OnConfigFailed();
        return false;
    }
    if (!StartReader(device).empty())
        return Fail({PortError::Other, EAGAIN, ""});
    if (const std::string note = device->Note(); !note.empty())
        m_lastError = Subject() + ": " + note;
    std::lock_guard lock(m_deviceMutex);
    m_device = std::move(device);
    return true;
}

CPortFailure CSerialPort::OpenDevice(std::shared_ptr<CPortDevice>& device) {
    m_openedPath = m_givenPath.empty() ? ResolveComDevice(m_deviceName) : m_givenPath;
    if (m_openedPath.empty())
        return {PortError::NoSuchPort, 0, ""};
    CPortFailure failure;
    const std::shared_ptr<CNetworkDevice> parked = std::move(m_parked);
    if (IsNetworkAddress(m_openedPath)) {
        const CLineConfig line = LineConfigFor(*this);
        if (parked && parked->Address() == m_openedPath &&
            parked->Resume(line).error == PortError::None) {
            device = parked;
            return failure;
        }
        auto server = std::make_shared<CNetworkDevice>();
        failure = server->Open(m_openedPath, line);
        device = server;
    } else {
        auto tty = std::make_shared<CTtyDevice>();
        failure.systemError = tty->Open(m_openedPath);
        failure.error = PortErrorOf(failure.systemError);
        device = tty;
    }
    if (failure.error != PortError::None)
        return failure;
    device->Flush();
    OnPurged();
    return failure;
}

std::string CSerialPort::Subject() const {
    return PortSubject(m_givenPath.empty() ? ComPortName(GetCommPort()) : "", m_openedPath);
}

std::string CSerialPort::StartReader(const std::shared_ptr<CPortDevice>& device) {
    const uint64_t id = ++m_readerId;
    CPortReader::CHooks hooks;
    hooks.inThread = [this](const uint8_t* bytes, int count) { OnReceiveInThread(bytes, count); };
    hooks.notify = [relay = m_relay.get(), id](CPortReader::Notice notice) {
        relay->Post(id, notice);
    };
    m_reader = std::make_shared<CPortReader>(device, std::move(hooks));
    std::string error = m_reader->Start();
    if (!error.empty())
        m_reader.reset();
    return error;
}

bool CSerialPort::Fail(const CPortFailure& failure) {
    m_lastErrorKind = failure.error;
    m_lastError = PortOpenMessage(Subject(), failure);
    return false;
}

int CSerialPort::Close() {
    if (!m_reader)
        return 0;
    const bool wasRunning = m_reader->IsRunning();
    const int result = m_reader->Stop(std::chrono::milliseconds(kCloseWaitMs));
    m_reader.reset();
    Purge();
    std::shared_ptr<CPortDevice> device;
    {
        std::lock_guard lock(m_deviceMutex);
        device = std::move(m_device);
    }
    if (wasRunning && result == 0)
        Park(device);
    return wasRunning ? result : 0;
}

void CSerialPort::Park(const std::shared_ptr<CPortDevice>& device) {
    m_parked = std::dynamic_pointer_cast<CNetworkDevice>(device);
    if (m_parked)
        QMetaObject::invokeMethod(
            m_relay.get(), [this] { m_parked.reset(); }, Qt::QueuedConnection);
}

bool CSerialPort::IsOpen() const {
    return m_reader != nullptr;
}

void CSerialPort::HandleNotice(uint64_t readerId, CPortReader::Notice notice) {
    if (!m_reader || readerId != m_readerId)
        return;
    if (notice == CPortReader::Notice::Chunks) {
        // OnReceive may close the port and drop m_reader.
        const std::shared_ptr<CPortReader> reader = m_reader;
        reader->TakeChunks([this](const uint8_t* bytes, int count) { OnReceive(bytes, count); });
        return;
    }
    const std::shared_ptr<CPortDevice> device = Device();
    Close();
    m_lastErrorKind = device ? device->LostError() : PortError::Gone;
    m_lastError = Subject() + ": " + PortErrorReason(m_lastErrorKind);
    OnPortLost();
}

std::shared_ptr<CPortDevice> CSerialPort::Device() const {
    std::lock_guard lock(m_deviceMutex);
    return m_device;
}

bool CSerialPort::SetModemLine(int line, bool on) {
    const std::shared_ptr<CPortDevice> device = Device();
    return device && device->SetModemLine(line, on);
}

bool CSerialPort::SetDTR(bool on) {
    return SetModemLine(TIOCM_DTR, on);
}

bool CSerialPort::SetRTS(bool on) {
    return SetModemLine(TIOCM_RTS, on);
}

bool CSerialPort::Write(const uint8_t* bytes, size_t count) {
    const std::shared_ptr<CPortDevice> device = Device();
    return device && device->Write(bytes, count);
}

bool CSerialPort::Write(const CByteBuffer& bytes) {
    const std::vector<uint8_t> copy = bytes.ToVector();
    return Write(copy.data(), copy.size());
}

void CSerialPort::Purge() {
    if (const std::shared_ptr<CPortDevice> device = Device())
        device->Flush();
    OnPurged();
}

} // namespace brivox
