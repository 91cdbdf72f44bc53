#pragma once

#include <functional>
#include <string>

class QAbstractItemView;
class QMenu;
class QWidget;

namespace brivox {

class CCaptureSink;
struct CLineChoice;
class CSerialPort;

// The context menu of a session's traffic lists: the port's switches for the field (reconnect,
// line errors, RS-485 echo) and the capture file (a text log, or pcapng by its extension). A
// switch that changes how the line is opened reopens an open port through the session's own reopen,
// so that the lines and controls follow.
class CPortSwitchMenu {
public:
    static constexpr char kReconnect[] = "Reconnect when the device returns";
    static constexpr char kCapture[] = "Capture to File...";
    static constexpr char kLineErrors[] = "Show line errors";
    static constexpr char kIgnoreEcho[] = "Ignore the echo of sent bytes";
    static constexpr char kModemLines[] = "Show modem lines";
    static constexpr char kSendBreak[] = "Send BREAK";
    static constexpr char kLine[] = "Line...";
    static constexpr int kBreakMs = 250;

    // reopen: closes and opens the port again with the session's settings. The owner lives on
    // the UI thread as long as the menu.
    CPortSwitchMenu(CSerialPort& port, QWidget* owner, std::function<void()> reopen);

    // The lists open the menu on a right click, the list's own actions first.
    void AttachTo(QAbstractItemView* view, std::function<void(QMenu&)> addListActions);
    // A menu showing the switches as they stand, its actions wired (the caller owns it).
    QMenu* Build();

    void SetReconnect(bool on);
    void SetLineErrors(bool on);
    void SetIgnoreEcho(bool on);
    // Starts a capture in a file chosen in a save dialog, or ends the one running. A capture
    // that cannot be written ends with one message box.
    void ToggleCapture();
    // The row of modem-line lamps that "Show modem lines" shows and hides.
    void SetModemLamps(QWidget* lamps) { m_lamps = lamps; }
    // A BREAK of kBreakMs, ended by a timer so that the window goes on meanwhile.
    void SendBreak();
    // Opens the "Line..." dialog and applies what it gives.
    void EditLine();
    // The port takes the line, flow control and line policy, reopening when open.
    void ApplyLine(const CLineChoice& choice);

private:
    void AddSwitches(QMenu& menu);
    void ReopenIfOpen();
    void EndFailedCapture(const CCaptureSink* failed, const std::string& error);

    CSerialPort& m_port;
    QWidget* m_owner;
    QWidget* m_lamps = nullptr;
    std::function<void()> m_reopen;
};

} // namespace brivox
