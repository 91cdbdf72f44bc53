#include "serial/SerialPort.h"

#include "serial/PortDiscovery.h"
#include "serial/PortRelay.h"

#include <sys/ioctl.h>

namespace brivox {

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::Open() {
    m_lastError.clear();
    if (m_reader && m_reader->IsRunning())
        return Fail(m_deviceName + ": already open");
    // A reader that ended because the device went away: its notice has not come yet.
    Close();
    if (!m_relay)
        m_relay = std::make_unique<CPortRelay>(*this);
    m_deviceName = ComDeviceName(GetCommPort());
    std::shared_ptr<CSerialDevice> device;
    if (const std::string error = OpenDevice(device); !error.empty())
        return Fail(error);
    if (!device->Configure(LineConfigFor(*this)).empty()) {
        // The device is released here, with the last reference.
        m_lastError = kCantConfigMessage;
        OnConfigFailed();
        return false;
    }
    if (const std::string error = StartReader(device); !error.empty())
        return Fail(error);
    std::lock_guard lock(m_deviceMutex);
    m_device = std::move(device);
    return true;
}

std::string CSerialPort::OpenDevice(std::shared_ptr<CSerialDevice>& device) {
    const std::string path = ResolveComDevice(m_deviceName);
    if (path.empty())
        return m_deviceName + ": no such port";
    device = std::make_shared<CSerialDevice>();
    if (std::string error = device->Open(path); !error.empty())
        return error;
    device->Flush();
    OnPurged();
    return "";
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

bool CSerialPort::Fail(const std::string& error) {
    m_lastError = error;
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
