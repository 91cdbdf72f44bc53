#pragma once

#include "jobs/FxMLThreadPool.h"
#include "options/ControlBinder.h"
#include "script/JPScript.h"
#include "script/ScriptRunState.h"
#include "serial/SessionPort.h"
#include "session/FormStates.h"

#include <QWidget>
#include <memory>
#include <string>

class QComboBox;

namespace brivox {

// One terminal session: the form of dialog 130 with its port, option store and bindings, and
// what the mode, port and line controls do. Sending, the lists' contents, the banner and the
// history attach to the controls made here.
class CSessionForm : public QWidget, public CSessionPortOwner {
public:
    explicit CSessionForm(QWidget* host);
    ~CSessionForm() override;

    QWidget* Control(int id) const;
    CControlBinder& Binder() { return m_binder; }
    const CSessionPort& Port() const { return m_port; }
    bool IsPortOpen() const { return m_port.IsOpen(); }
    int OpenPortNumber() const { return m_port.IsOpen() ? m_port.GetCommPort() : 0; }
    CFormConditions Conditions() const;

    // The controls' values into the store, unchecked, as the main session does before saving.
    void CollectControls();

    // CSessionPortOwner
    void ReceiveBytes(const uint8_t* bytes, int count) override;
    void WriteBytes(const CByteBuffer& bytes) override;
    void PostSentByte(uint8_t byte) override;
    void PortLost() override;
    void ShowPortMessage(const std::string& text) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Initialize();
    void RegisterBindings();
    void PlaceInputBox();
    void PrepareLists();
    void Connect();
    void RefreshStates();
    void RefreshOpenCaption();

    void OnModeChanged();
    void OnOpenClose();
    void OnPortChanged();
    void OnBaudChanged();
    void OnLineOptionChanged();
    void OnViewTypeChanged();
    void OnStoreAtOnce(int id);
    void WaitForJobs();

    // Close, change, reopen; on failure the previous choice comes back and the message shows.
    bool ReopenWith(int portNumber, const std::string& settings);
    void RestoreAfterFailure(int portNumber, const std::string& settings, const std::string& text,
                             const std::string& caption);

    QComboBox* Combo(int id) const;
    bool IsChecked(int id) const;
    std::string SettingsFromCombos() const;
    int PortNumberFromCombo() const;
    void SelectPort(int portNumber);

    CFxMLThreadPool m_pool;
    std::shared_ptr<CScriptRunState> m_runState = std::make_shared<CScriptRunState>();
    CControlBinder m_binder;
    CKeptText m_filePath; // the file path box: not bound, so the form keeps its bytes itself
    CJPScript m_script{m_binder};
    bool m_stopDisplay = false;
    CSessionPort m_port{*this};
};

} // namespace brivox
