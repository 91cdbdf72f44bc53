#pragma once

#include "serial/CaptureSink.h"
#include "serial/DeviceWatch.h"
#include "serial/EchoSuppressor.h"
#include "serial/LinePolicy.h"
#include "serial/ModemLineWatch.h"
#include "serial/PortDevice.h"
#include "serial/PortError.h"
#include "serial/PortReader.h"
#include "serial/SerialSettings.h"
#include "util/ByteBuffer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace brivox {

class CNetworkDevice;
class CPortRelay;

inline constexpr char kCantConfigMessage[] = "Can't Config";

// One COM port of a session: opens the device its number maps to, configures it, runs a reader
// thread and hands every received chunk (at most 128 bytes, in order) to OnReceive on the thread
// that opened it, which must run a Qt event loop. Write may be called from any thread; every
// other operation belongs to the opening (UI) thread.
class CSerialPort : public CSerialSettings {
public:
    static constexpr int kCloseWaitMs = 2000;

    CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;
    ~CSerialPort() override;

    // False when the port cannot be opened or configured (GetLastError says why); a refused
    // configuration also calls OnConfigFailed. A port-map entry rfc2217://HOST:PORT or
    // tcp://HOST:PORT opens a connection to that serial server, within a few seconds.
    bool Open();
    // Opens this device node or server address instead of the one the port number maps to
    // (empty: the number's).
    void SetDevicePath(const std::string& path) { m_givenPath = path; }
    // 0 when the reader ended in time or the port was not open. A connection to a serial server
    // outlives it until the opening thread's event loop runs again: a change of settings while
    // open (Close, the new settings, Open, as the session form makes it) then goes to the
    // server over the same connection, which a server such as ser2net could not yet take anew.
    // Also ends a wait for the device to come back.
    int Close();
    bool SetPortOpen(bool open) { return open ? Open() : Close() == 0; }
    // From a successful Open until Close, or until the UI thread handles the news that the
    // device went away (just before OnPortLost): the state changes only on the UI thread.
    bool IsOpen() const;
    // When the last Open succeeded, on the clock of the arrival times: before any byte it reads.
    CPortReader::Clock::time_point OpenedAt() const { return m_openedAt; }
    // Whether bytes have been read that the event loop has not handed over yet.
    bool HasUndelivered() const { return m_reader && m_reader->HasPending(); }

    // Act on the device at once; false when the port is closed or the driver has no such line.
    bool SetDTR(bool on);
    bool SetRTS(bool on);
    // Holds the line in BREAK while on; false when closed or the device cannot.
    bool SetBreak(bool on);
    // A BREAK of that length, waited for here.
    bool SendBreak(int ms);
    // Runs the steps on DTR and RTS, waiting here; false at the first that fails.
    bool RunPulse(const std::vector<CPulseStep>& steps);

    // The modem input lines as they stand; false when closed or the device has none.
    bool ReadModemLines(CModemLines& lines) const;
    // Whether changes of the modem lines are being watched (a tty that reports them).
    bool WatchesModemLines() const { return m_modemWatch.IsRunning(); }

    // Beyond the settings text, from the next Open: the flow control, and what becomes of DTR
    // and RTS at open and close.
    void SetFlowControl(FlowControl flow) { m_flow = flow; }
    FlowControl Flow() const { return m_flow; }
    // Rate, data bits, parity and stop bits of this line instead of the settings text's; none:
    // the settings text's again.
    void SetLineOverride(const std::optional<CLineConfig>& line) { m_lineOverride = line; }
    const std::optional<CLineConfig>& LineOverride() const { return m_lineOverride; }
    const CLinePolicy& LinePolicy() const { return m_policy; }
    void SetLinePolicy(const CLinePolicy& policy) { m_policy = policy; }
    // RS-485 from the next Open: the driver's own mode where it has one, else RTS switched
    // around each write here (the note after Open says which).
    void SetRs485(const CRs485& rs485) { m_rs485 = rs485; }
    // Returns once what was written has left the line (see CPortDevice::AwaitSent).
    void AwaitSent();

    // Every byte on the line before it returns; false on an error, after 10 s or when the
    // port closes meanwhile.
    bool Write(const uint8_t* bytes, size_t count);
    bool Write(const CByteBuffer& bytes);

    // Discards both driver queues, then OnPurged.
    void Purge();
    // One character on the line at its settings (start, data, parity and stop bits).
    std::chrono::nanoseconds LineCharacterTime() const {
        return std::chrono::nanoseconds(m_characterNs.load());
    }

    // Switches for the field, all off by default; the first two take effect at the next Open.
    // Line errors: the driver marks bytes with a parity or framing error and BREAKs (PARMRK),
    // and OnReceiveMarked hands them over with their marks.
    void SetLineErrors(bool on) { m_lineErrors = on; }
    bool LineErrors() const { return m_lineErrors; }
    // Received bytes that repeat what was just sent (a two-wire RS-485 adapter's echo) are
    // dropped before OnReceive sees them.
    void SetIgnoreEcho(bool on) { m_ignoreEcho = on; }
    bool IgnoreEcho() const { return m_ignoreEcho; }
    // A device that goes away is waited for and the port reopened with the same settings once
    // it is back (OnPortReopened): a USB adapter by its /dev/serial/by-id identity, whatever
    // ttyUSB number it gets; a serial server by retries with back-off.
    void SetReconnect(bool on);
    bool Reconnect() const { return m_reconnect; }
    bool IsWaitingForDevice() const { return m_watch.IsWatching(); }
    // Starts that wait now, for a port that could not be opened.
    void WaitForDevice();
    // Where udev keeps the by-id links (tests give a folder of their own).
    void SetByIdFolder(const std::string& folder) { m_byIdFolder = folder; }
    // Open gives up, as Interrupted, once this descriptor turns readable (a stop signal's), however
    // long a serial server would keep it waiting; -1 for none.
    void SetCancelDescriptor(int fd) { m_cancelFd = fd; }
    // Every byte sent and received from now on goes to the capture too; null ends that.
    void SetCapture(std::shared_ptr<CCaptureSink> capture);
    std::shared_ptr<CCaptureSink> Capture() const;

    // "COM%d" up to 9, "\\?\COM%d" from 10: the name formed at the last Open.
    const std::string& GetDeviceName() const { return m_deviceName; }
    // Why the last Open failed, or that the device went away: "Cannot open COM5 (/dev/ttyUSB0):
    // in use by another program". After an Open that succeeded, what the device could not do as
    // asked, if anything (a serial server that takes no line settings), with the kind None.
    const std::string& GetLastError() const { return m_lastError; }
    PortError GetLastErrorKind() const { return m_lastErrorKind; }

protected:
    virtual void OnPurged() {}
    // Every chunk, on the UI thread.
    virtual void OnReceive(const uint8_t* /*bytes*/, int /*count*/) {}
    // Instead of OnReceive, a chunk in which a byte came with a line error: marks holds a
    // LineMark a byte. By default the marks are dropped.
    virtual void OnReceiveMarked(const uint8_t* bytes, const uint8_t* /*marks*/, int count) {
        OnReceive(bytes, count);
    }
    // While OnReceive or OnReceiveMarked runs: when the reader read the chunk.
    CPortReader::Clock::time_point ChunkArrival() const { return m_chunkArrival; }
    // The device went away (adapter pulled, other end closed); the port is closed already.
    virtual void OnPortLost() {}
    // The driver refused the line settings; Open is about to return false.
    virtual void OnConfigFailed() {}
    // The device came back and the port is open again, with the settings it had.
    virtual void OnPortReopened() {}
    // A modem input line changed, at that moment of the arrival times' clock.
    virtual void OnModemLinesChanged(const CModemLines& /*lines*/,
                                     CPortReader::Clock::time_point /*at*/) {}

private:
    friend class CPortRelay;
    void HandleNotice(uint64_t readerId, CPortReader::Notice notice);
    void Deliver(const CPortReader::CChunk& chunk);
    void WatchModemLines(const std::shared_ptr<CPortDevice>& device);
    void HandleModemLines(uint64_t readerId, const CModemLines& lines,
                          CPortReader::Clock::time_point at);
    int CloseReader();
    bool TryReopen();
    std::unique_ptr<CReceiveFilter> MakeFilter(const CLineConfig& line);
    bool Fail(const CPortFailure& failure);
    // The line the next Open applies.
    CLineConfig Line() const;
    // "COM5 (/dev/ttyUSB0)", or the path of a port opened by path.
    std::string Subject() const;
    CPortFailure OpenDevice(std::shared_ptr<CPortDevice>& device);
    // Takes a kept connection to a server up again; false leaves it to be dropped.
    bool Resume(CNetworkDevice& parked, const CLineConfig& line);
    std::string StartReader(const std::shared_ptr<CPortDevice>& device, const CLineConfig& line);
    std::shared_ptr<CPortDevice> Device() const;
    void Park(const std::shared_ptr<CPortDevice>& device);
    bool SetModemLine(int line, bool on);
    // The policy's levels, at open (atClose false) or before the device is let go.
    void ApplyLinePolicy(CPortDevice& device, bool atClose) const;
    // Turns RS-485 on as asked; a note when RTS will be switched here, or cannot be at all.
    std::string StartRs485(CPortDevice& device, bool tty);
    bool WriteSwitchingRts(CPortDevice& device, const uint8_t* bytes, size_t count);

    std::unique_ptr<CPortRelay> m_relay;
    std::shared_ptr<CPortReader> m_reader;
    uint64_t m_readerId = 0;
    CPortReader::Clock::time_point m_chunkArrival;
    CPortReader::Clock::time_point m_openedAt;
    mutable std::mutex m_deviceMutex; // writers reach the device from other threads
    std::shared_ptr<CPortDevice> m_device;
    std::shared_ptr<CNetworkDevice> m_parked; // a server's connection kept across a Close
    std::string m_deviceName;
    std::string m_givenPath;
    std::string m_openedPath; // the device node or server address of the last Open
    std::string m_lastError;
    PortError m_lastErrorKind = PortError::None;

    bool m_lineErrors = false;
    bool m_ignoreEcho = false;
    bool m_reconnect = false;
    int m_cancelFd = -1;
    FlowControl m_flow = FlowControl::None;
    std::optional<CLineConfig> m_lineOverride;
    CLinePolicy m_policy;
    CRs485 m_rs485;
    // Read by writers on any thread, set at Open.
    std::atomic<bool> m_softRs485{false}; // RTS switched here, the driver having no RS-485 mode
    std::atomic<int64_t> m_characterNs{0};
    std::mutex m_softRs485Mutex;             // one write at a time owns RTS
    std::shared_ptr<CEchoSuppressor> m_echo; // of the open port, when the echo is ignored
    std::shared_ptr<CCaptureSink> m_capture; // under m_deviceMutex: writers capture too
    std::string m_byIdFolder = "/dev/serial/by-id";
    std::string m_identity;   // the by-id link of the device last opened, if it has one
    std::string m_reopenPath; // the path a reopen tries first
    CDeviceWatch m_watch{[this] { return TryReopen(); }};
    CModemLineWatch m_modemWatch;
};

} // namespace brivox
