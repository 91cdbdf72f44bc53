#include "serial/SerialPort.h"

#include "serial/PortDiscovery.h"
#include "serial/PortRelay.h"

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
    std::shared_ptr<CSerialDevice> device;
    int systemError = 0;
    if (const PortError error = OpenDevice(device, systemError); error != PortError::None)
        return Fail(error, systemError);
    if (!device->Configure(LineConfigFor(*this)).empty()) {
        // The device is released here, with the last reference.
        m_lastError = kCantConfigMessage;
        m_lastErrorKind = PortError::Other;
        OnConfigFailed();
        return false;
    }
    if (!StartReader(device).empty())
        return Fail(PortError::Other, EAGAIN);
    std::lock_guard lock(m_deviceMutex);
    m_device = std::move(device);
    return true;
}

PortError CSerialPort::OpenDevice(std::shared_ptr<CSerialDevice>& device, int& systemError) {
    m_openedPath = m_givenPath.empty() ? ResolveComDevice(m_deviceName) : m_givenPath;
    if (m_openedPath.empty())
        return PortError::NoSuchPort;
    device = std::make_shared<CSerialDevice>();
    systemError = device->Open(m_openedPath);
    if (systemError != 0)
        return PortErrorOf(systemError);
    device->Flush();
    OnPurged();
    return PortError::None;
}

std::string CSerialPort::Subject() const {
    return PortSubject(m_givenPath.empty() ? ComPortName(GetCommPort()) : "", m_openedPath);
}

std::string CSerialPort::StartReader(const std::shared_ptr<CSerialDevice>& device) {
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

bool CSerialPort::Fail(PortError error, int systemError) {
    m_lastErrorKind = error;
    m_lastError = PortOpenMessage(Subject(), error, systemError);
    return false;
}

int CSerialPort::Close() {
    if (!m_reader)
        return 0;
    const bool wasRunning = m_reader->IsRunning();
    const int result = m_reader->Stop(std::chrono::milliseconds(kCloseWaitMs));
    m_reader.reset();
    Purge();
    std::lock_guard lock(m_deviceMutex);
    m_device.reset();
    return wasRunning ? result : 0;
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
    Close();
    m_lastErrorKind = PortError::Gone;
    m_lastError = Subject() + ": " + PortErrorReason(PortError::Gone);
    OnPortLost();
}

std::shared_ptr<CSerialDevice> CSerialPort::Device() const {
    std::lock_guard lock(m_deviceMutex);
    return m_device;
}

bool CSerialPort::SetModemLine(int line, bool on) {
    const std::shared_ptr<CSerialDevice> device = Device();
    return device && device->SetModemLine(line, on);
}

bool CSerialPort::SetDTR(bool on) {
    return SetModemLine(TIOCM_DTR, on);
}

bool CSerialPort::SetRTS(bool on) {
    return SetModemLine(TIOCM_RTS, on);
}

bool CSerialPort::Write(const uint8_t* bytes, size_t count) {
    const std::shared_ptr<CSerialDevice> device = Device();
    return device && device->Write(bytes, count);
}

bool CSerialPort::Write(const CByteBuffer& bytes) {
    const std::vector<uint8_t> copy = bytes.ToVector();
    return Write(copy.data(), copy.size());
}

void CSerialPort::Purge() {
    if (const std::shared_ptr<CSerialDevice> device = Device())
        device->Flush();
    OnPurged();
}

} // namespace brivox
