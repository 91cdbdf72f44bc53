#include "serial/SerialPort.h"

#include "serial/NetworkAddress.h"
#include "serial/NetworkDevice.h"
#include "serial/PortDiscovery.h"
#include "serial/PortMap.h"
#include "serial/PortRelay.h"
#include "serial/TtyDevice.h"

#include <QMetaObject>
#include <cerrno>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

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
    CloseReader();
    if (!m_relay)
        m_relay = std::make_unique<CPortRelay>(*this);
    m_deviceName = ComDeviceName(GetCommPort());
    std::shared_ptr<CPortDevice> device;
    if (const CPortFailure failure = OpenDevice(device); failure.error != PortError::None)
        return Fail(failure);
    const bool tty = std::dynamic_pointer_cast<CTtyDevice>(device) != nullptr;
    CLineConfig line = Line();
    line.markErrors = m_lineErrors && tty;
    if (!device->Configure(line).empty()) {
        // The device is released here, with the last reference.
        m_lastError = kCantConfigMessage;
        m_lastErrorKind = PortError::Other;
        OnConfigFailed();
        return false;
    }
    ApplyLinePolicy(*device, false);
    m_characterNs = CharacterTime(line).count();
    const std::string rs485Note = StartRs485(*device, tty);
    m_openedAt = CPortReader::Clock::now();
    if (!StartReader(device, line).empty())
        return Fail({PortError::Other, EAGAIN, ""});
    if (const std::string note = device->Note() + rs485Note; !note.empty())
        m_lastError = Subject() + ": " + note;
    m_identity = tty ? FindDeviceIdentity(m_byIdFolder, m_openedPath) : "";
    if (tty)
        WatchModemLines(device);
    m_watch.Stop();
    std::lock_guard lock(m_deviceMutex);
    m_device = std::move(device);
    return true;
}

CPortFailure CSerialPort::OpenDevice(std::shared_ptr<CPortDevice>& device) {
    m_openedPath = !m_reopenPath.empty() ? m_reopenPath
                   : m_givenPath.empty() ? ResolveComDevice(m_deviceName)
                                         : m_givenPath;
    if (m_openedPath.empty())
        return {PortError::NoSuchPort, 0, ""};
    CPortFailure failure;
    const std::shared_ptr<CNetworkDevice> parked = std::move(m_parked);
    if (IsNetworkAddress(m_openedPath)) {
        const CLineConfig line = Line();
        if (parked && parked->Address() == m_openedPath && Resume(*parked, line)) {
            device = parked;
            return failure;
        }
        auto server = std::make_shared<CNetworkDevice>();
        server->SetCancelDescriptor(m_cancelFd);
        failure = server->Open(m_openedPath, line);
        server->SetCancelDescriptor(-1); // the reader is not to be cancelled
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

bool CSerialPort::Resume(CNetworkDevice& parked, const CLineConfig& line) {
    parked.SetCancelDescriptor(m_cancelFd);
    const bool resumed = parked.Resume(line).error == PortError::None;
    parked.SetCancelDescriptor(-1);
    return resumed;
}

CLineConfig CSerialPort::Line() const {
    CLineConfig line = m_lineOverride ? *m_lineOverride : LineConfigFor(*this);
    line.flow = m_flow;
    return line;
}

std::string CSerialPort::Subject() const {
    return PortSubject(m_givenPath.empty() ? ComPortName(GetCommPort()) : "", m_openedPath);
}

std::unique_ptr<CReceiveFilter> CSerialPort::MakeFilter(const CLineConfig& line) {
    std::shared_ptr<CEchoSuppressor> echo;
    if (m_ignoreEcho)
        echo = std::make_shared<CEchoSuppressor>(CharacterTime(line));
    {
        std::lock_guard lock(m_deviceMutex);
        m_echo = echo;
    }
    if (!line.markErrors && !echo)
        return nullptr;
    return std::make_unique<CReceiveFilter>(line.markErrors, std::move(echo));
}

std::string CSerialPort::StartReader(const std::shared_ptr<CPortDevice>& device,
                                     const CLineConfig& line) {
    const uint64_t id = ++m_readerId;
    CPortReader::CHooks hooks;
    hooks.filter = MakeFilter(line);
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
    m_watch.Stop();
    return CloseReader();
}

int CSerialPort::CloseReader() {
    m_modemWatch.Stop();
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
    if (device && wasRunning)
        ApplyLinePolicy(*device, true);
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
        reader->TakeChunks([this](const CPortReader::CChunk& chunk) { Deliver(chunk); });
        return;
    }
    const std::shared_ptr<CPortDevice> device = Device();
    CloseReader();
    m_lastErrorKind = device ? device->LostError() : PortError::Gone;
    m_lastError = Subject() + ": " + PortErrorReason(m_lastErrorKind);
    if (const std::shared_ptr<CCaptureSink> capture = Capture())
        capture->AddNote("device lost: " + m_lastError, CPortReader::Clock::now());
    if (m_reconnect)
        WaitForDevice();
    OnPortLost();
}

void CSerialPort::Deliver(const CPortReader::CChunk& chunk) {
    m_chunkArrival = chunk.arrival;
    if (const std::shared_ptr<CCaptureSink> capture = Capture())
        capture->Add(CCaptureSink::Direction::Rx, chunk.bytes, chunk.marks, chunk.count,
                     chunk.arrival);
    if (chunk.marks != nullptr)
        OnReceiveMarked(chunk.bytes, chunk.marks, chunk.count);
    else
        OnReceive(chunk.bytes, chunk.count);
}

void CSerialPort::WatchModemLines(const std::shared_ptr<CPortDevice>& device) {
    // The watch ends before the device is let go, so the descriptor outlives it.
    m_modemWatch.Start(
        device->Descriptor(),
        [this, id = m_readerId](const CModemLines& lines, CModemLineWatch::Clock::time_point at) {
            QMetaObject::invokeMethod(
                m_relay.get(), [this, id, lines, at] { HandleModemLines(id, lines, at); },
                Qt::QueuedConnection);
        });
}

void CSerialPort::HandleModemLines(uint64_t readerId, const CModemLines& lines,
                                   CPortReader::Clock::time_point at) {
    if (!m_reader || readerId != m_readerId)
        return;
    if (const std::shared_ptr<CCaptureSink> capture = Capture())
        capture->AddNote("modem lines " + ModemLinesText(lines), at);
    OnModemLinesChanged(lines, at);
}

bool CSerialPort::ReadModemLines(CModemLines& lines) const {
    const std::shared_ptr<CPortDevice> device = Device();
    return device && std::dynamic_pointer_cast<CTtyDevice>(device) &&
           brivox::ReadModemLines(device->Descriptor(), lines);
}

void CSerialPort::SetReconnect(bool on) {
    m_reconnect = on;
    if (!on)
        m_watch.Stop();
}

void CSerialPort::WaitForDevice() {
    const std::string path = m_openedPath.empty() && m_givenPath.empty()
                                 ? ResolveComDevice(ComDeviceName(GetCommPort()))
                                 : (m_openedPath.empty() ? m_givenPath : m_openedPath);
    const bool network = IsNetworkAddress(path);
    std::vector<std::string> folders = {PortMapFolder(), m_byIdFolder};
    for (const std::string& known : {path, m_identity})
        if (const size_t slash = known.find_last_of('/'); slash != std::string::npos && slash > 0)
            folders.push_back(known.substr(0, slash));
    m_watch.Start(folders, network);
}

// The same device by its by-id link when it has one, else as the port was opened before.
bool CSerialPort::TryReopen() {
    m_reopenPath = access(m_identity.c_str(), F_OK) == 0 ? m_identity : "";
    const bool opened = Open();
    m_reopenPath.clear();
    if (!opened)
        return false;
    if (const std::shared_ptr<CCaptureSink> capture = Capture())
        capture->AddNote("device back: " + Subject(), CPortReader::Clock::now());
    OnPortReopened();
    return true;
}

void CSerialPort::SetCapture(std::shared_ptr<CCaptureSink> capture) {
    std::lock_guard lock(m_deviceMutex);
    m_capture = std::move(capture);
}

std::shared_ptr<CCaptureSink> CSerialPort::Capture() const {
    std::lock_guard lock(m_deviceMutex);
    return m_capture;
}

std::shared_ptr<CPortDevice> CSerialPort::Device() const {
    std::lock_guard lock(m_deviceMutex);
    return m_device;
}

bool CSerialPort::SetModemLine(int line, bool on) {
    const std::shared_ptr<CPortDevice> device = Device();
    return device && device->SetModemLine(line, on);
}

void CSerialPort::ApplyLinePolicy(CPortDevice& device, bool atClose) const {
    bool keepAtClose = false;
    for (const auto& [level, line] :
         {std::pair{m_policy.dtr, TIOCM_DTR}, std::pair{m_policy.rts, TIOCM_RTS}}) {
        if (level == LineLevel::Low || level == LineLevel::High)
            device.SetModemLine(line, level == LineLevel::High);
        keepAtClose |= level != LineLevel::Driver && level != LineLevel::Low;
    }
    // HUPCL drops both lines at close; a line to stay as it is or high must not be dropped.
    if (atClose && keepAtClose)
        device.SetHangUpOnClose(false);
}

std::string CSerialPort::StartRs485(CPortDevice& device, bool tty) {
    m_softRs485 = false;
    if (!m_rs485.enabled)
        return "";
    if (!tty)
        return "RS-485 needs a local serial device; RTS is left as it is";
    switch (device.SetRs485(m_rs485)) {
    case Rs485Outcome::Kernel:
        return "";
    case Rs485Outcome::NotSupported:
        m_softRs485 = true;
        device.SetModemLine(TIOCM_RTS, !m_rs485.rtsOnSend);
        return "the driver has no RS-485 mode, so RTS is switched around each write instead";
    case Rs485Outcome::Failed:
        break;
    }
    return "the driver refused the RS-485 mode";
}

bool CSerialPort::WriteSwitchingRts(CPortDevice& device, const uint8_t* bytes, size_t count) {
    const std::lock_guard lock(m_softRs485Mutex);
    device.SetModemLine(TIOCM_RTS, m_rs485.rtsOnSend);
    std::this_thread::sleep_for(std::chrono::milliseconds(m_rs485.delayBeforeMs));
    const bool written = device.Write(bytes, count);
    device.AwaitSent(std::chrono::nanoseconds(m_characterNs));
    std::this_thread::sleep_for(std::chrono::milliseconds(m_rs485.delayAfterMs));
    device.SetModemLine(TIOCM_RTS, !m_rs485.rtsOnSend);
    return written;
}

void CSerialPort::AwaitSent() {
    if (const std::shared_ptr<CPortDevice> device = Device())
        device->AwaitSent(std::chrono::nanoseconds(m_characterNs));
}

bool CSerialPort::SetBreak(bool on) {
    const std::shared_ptr<CPortDevice> device = Device();
    return device && device->SetBreak(on);
}

bool CSerialPort::SendBreak(int ms) {
    if (!SetBreak(true))
        return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return SetBreak(false);
}

bool CSerialPort::RunPulse(const std::vector<CPulseStep>& steps) {
    for (const CPulseStep& step : steps) {
        if (step.kind == CPulseStep::Kind::Wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(step.waitMs));
        else if (!SetModemLine(step.kind == CPulseStep::Kind::Dtr ? TIOCM_DTR : TIOCM_RTS,
                               step.raised))
            return false;
    }
    return true;
}

bool CSerialPort::SetDTR(bool on) {
    return SetModemLine(TIOCM_DTR, on);
}

bool CSerialPort::SetRTS(bool on) {
    return SetModemLine(TIOCM_RTS, on);
}

bool CSerialPort::Write(const uint8_t* bytes, size_t count) {
    std::shared_ptr<CPortDevice> device;
    std::shared_ptr<CEchoSuppressor> echo;
    std::shared_ptr<CCaptureSink> capture;
    {
        std::lock_guard lock(m_deviceMutex);
        device = m_device;
        echo = m_echo;
        capture = m_capture;
    }
    if (!device)
        return false;
    // Noted before the bytes leave, so that their echo cannot come back first.
    if (echo)
        echo->NoteSent(bytes, count);
    if (capture)
        capture->Add(CCaptureSink::Direction::Tx, bytes, nullptr, static_cast<int>(count),
                     CPortReader::Clock::now());
    return m_softRs485 ? WriteSwitchingRts(*device, bytes, count) : device->Write(bytes, count);
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
