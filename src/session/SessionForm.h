#pragma once

#include "jobs/FxMLThreadPool.h"
#include "options/ControlBinder.h"
#include "script/JPScript.h"
#include "serial/SessionPort.h"
#include "session/ByteList.h"
#include "session/FormStates.h"
#include "session/SessionSender.h"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QTextEdit;

namespace brivox {

class CFormHistory;
class CLineTurn;
class CModbusPollWindow;
class CModemLineIndicators;
class CPortSwitchMenu;
class CNoticeBar;
class CRulesDialog;
class CSessionRules;
class CSessionTransfer;
class CTransferDialog;
struct CSendProgramResult;

// One terminal session: the form of dialog 130 with its port, option store and bindings, and
// what the mode, port and line controls do. It wires the controls to the parts behind them: the
// traffic lists, the sender and its jobs; the banner and the history attach here too.
class CSessionForm : public QWidget, public CSessionPortOwner {
public:
    // Called after each send by the button that went out, with the mode and the trimmed text.
    using SendHistoryHook = std::function<void(int mode, const std::string& text)>;

    explicit CSessionForm(QWidget* host);
    ~CSessionForm() override;

    QWidget* Control(int id) const;
    CNoticeBar* Banner() const { return m_banner; }
    CControlBinder& Binder() { return m_binder; }
    const CSessionPort& Port() const { return m_port; }
    bool IsPortOpen() const { return m_port.IsOpen(); }
    int OpenPortNumber() const { return m_port.IsOpen() ? m_port.GetCommPort() : 0; }
    CFormConditions Conditions() const;
    CByteList& TxRxList() { return *m_txRxList; }
    CByteList& RxList() { return *m_rxList; }
    CSessionSender& Sender() { return *m_sender; }
    void SetSendHistoryHook(SendHistoryHook hook) { m_historyHook = std::move(hook); }
    CFormHistory& History() { return *m_history; }
    CPortSwitchMenu& SwitchMenu() { return *m_switchMenu; }
    CModemLineIndicators& ModemLamps() { return *m_modemLamps; }
    CSessionRules& Rules() { return *m_rules; }
    // The "Rules..." dialog, shown (made at the first call).
    CRulesDialog& ShowRules();
    static constexpr char kRulesAction[] = "Rules...";
    CSessionTransfer& Transfer() { return *m_transfer; }
    // "Send File..." or "Receive File...", shown (made at the first call).
    CTransferDialog& ShowTransfer(bool receiving);
    static constexpr char kSendFileAction[] = "Send File...";
    static constexpr char kReceiveFileAction[] = "Receive File...";
    // A new "MODBUS Poll..." window on the session's port, shown; a session can have several.
    CModbusPollWindow& OpenPollWindow();
    const std::vector<std::unique_ptr<CModbusPollWindow>>& PollWindows() const {
        return m_pollWindows;
    }
    static constexpr char kPollAction[] = "MODBUS Poll...";

    // The controls' values into the store, unchecked, as the main session does before saving.
    void CollectControls();

    // CSessionPortOwner
    void ReceiveBytes(const uint8_t* bytes, int count) override;
    void ReceiveMarkedBytes(const uint8_t* bytes, const uint8_t* marks, int count) override;
    void WriteBytes(const CByteBuffer& bytes) override;
    void PostSentByte(uint8_t byte) override;
    void PortLost() override;
    void PortReopened() override;
    void ModemLinesChanged(const CModemLines& lines) override;
    void ShowPortMessage(const std::string& text) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateParts();
    void Initialize();
    void RegisterBindings();
    void PlaceInputBox();
    void AttachBanner();
    void Connect();
    void RefreshStates();
    void RefreshOpenCaption();
    void PlaceModemLamps();

    void OnModeChanged();
    void OnOpenClose();
    void OnPortChanged();
    void OnBaudChanged();
    void OnLineOptionChanged();
    void OnViewTypeChanged();
    void ApplyViewType();
    void StoreFilePath();
    void OnStoreAtOnce(int id);
    void OnTestSendClicked();
    void OnRepeatClicked();
    void OnBrowse();
    void WaitForJobs();

    // Sending: the button and Return (byButton), or a repeat tick, which stops once the program
    // is built. True when the program is ready (and, by the button, its job started); otherwise
    // what went wrong has been shown, as the button shows it.
    bool Send(bool byButton);
    void ShowProgramOutcome(const CSendProgramResult& built, const std::string& text);
    // A key in the input box; true when it is consumed.
    bool OnInputKey(const QKeyEvent& key);
    void StopRuns();

    // Close, change, reopen; on failure the previous choice comes back and the message shows.
    bool ReopenWith(int portNumber, const std::string& settings);
    // A port or line choice made while the port waits for its device ends that wait.
    void EndWaitIfClosed();
    void RestoreAfterFailure(int portNumber, const std::string& settings, const std::string& text,
                             const std::string& caption);

    QComboBox* Combo(int id) const;
    QTextEdit* InputBox() const;
    bool IsChecked(int id) const;
    std::string SettingsFromCombos() const;
    int PortNumberFromCombo() const;
    void SelectPort(int portNumber);

    CFxMLThreadPool m_pool;
    CControlBinder m_binder;
    CKeptText m_filePath; // the file path box: not bound, so the form keeps its bytes itself
    CJPScript m_script{m_binder};
    bool m_stopDisplay = false;
    CSessionPort m_port{*this};
    CNoticeBar* m_banner = nullptr;
    CModemLineIndicators* m_modemLamps = nullptr;
    // Made once the controls exist; gone before the port, so that jobs find it detached.
    std::unique_ptr<CByteList> m_txRxList;
    std::unique_ptr<CByteList> m_rxList;
    std::unique_ptr<CSessionSender> m_sender;
    QTimer m_listTimer; // timer 2: the lists' ASCII column
    SendHistoryHook m_historyHook;
    std::unique_ptr<CFormHistory> m_history;
    std::unique_ptr<CPortSwitchMenu> m_switchMenu;
    std::unique_ptr<CSessionRules> m_rules;
    std::unique_ptr<CRulesDialog> m_rulesDialog; // goes before the rules it shows
    std::unique_ptr<CSessionTransfer> m_transfer;
    std::unique_ptr<CTransferDialog> m_transferDialogs[2]; // send, receive; before the transfer
    // The line the send jobs and the polls take in turns.
    std::shared_ptr<CLineTurn> m_lineTurn;
    std::vector<std::unique_ptr<CModbusPollWindow>> m_pollWindows;
};

} // namespace brivox
