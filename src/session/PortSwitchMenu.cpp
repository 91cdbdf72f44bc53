#include "session/PortSwitchMenu.h"

#include "capture/CaptureFile.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "serial/CaptureLog.h"
#include "serial/SerialPort.h"
#include "session/LineDialog.h"

#include <QAbstractItemView>
#include <QMenu>
#include <QTimer>

namespace brivox {

namespace {

void AddSwitch(QMenu& menu, const char* text, bool checked, std::function<void(bool)> set) {
    QAction* action = menu.addAction(QString::fromLatin1(text));
    action->setCheckable(true);
    action->setChecked(checked);
    QObject::connect(action, &QAction::triggered, &menu, std::move(set));
}

} // namespace

CPortSwitchMenu::CPortSwitchMenu(CSerialPort& port, QWidget* owner, std::function<void()> reopen)
    : m_port(port), m_owner(owner), m_reopen(std::move(reopen)) {}

void CPortSwitchMenu::AttachTo(QAbstractItemView* view,
                               std::function<void(QMenu&)> addListActions) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, view,
                     [this, view, addListActions = std::move(addListActions)](QPoint at) {
                         auto* menu = new QMenu(m_owner);
                         addListActions(*menu);
                         menu->addSeparator();
                         AddSwitches(*menu);
                         menu->setAttribute(Qt::WA_DeleteOnClose);
                         menu->popup(view->viewport()->mapToGlobal(at));
                     });
}

QMenu* CPortSwitchMenu::Build() {
    auto* menu = new QMenu(m_owner);
    AddSwitches(*menu);
    return menu;
}

void CPortSwitchMenu::AddSwitches(QMenu& menu) {
    AddSwitch(menu, kReconnect, m_port.Reconnect(), [this](bool on) { SetReconnect(on); });
    AddSwitch(menu, kCapture, m_port.Capture() != nullptr, [this](bool) { ToggleCapture(); });
    AddSwitch(menu, kLineErrors, m_port.LineErrors(), [this](bool on) { SetLineErrors(on); });
    AddSwitch(menu, kIgnoreEcho, m_port.IgnoreEcho(), [this](bool on) { SetIgnoreEcho(on); });
    menu.addSeparator();
    if (m_lamps != nullptr)
        AddSwitch(menu, kModemLines, m_lamps->isVisible(),
                  [this](bool on) { m_lamps->setVisible(on); });
    QAction* breakAction = menu.addAction(QString::fromLatin1(kSendBreak));
    breakAction->setEnabled(m_port.IsOpen());
    QObject::connect(breakAction, &QAction::triggered, &menu, [this] { SendBreak(); });
    QObject::connect(menu.addAction(QString::fromLatin1(kLine)), &QAction::triggered, &menu,
                     [this] { EditLine(); });
}

void CPortSwitchMenu::SendBreak() {
    if (!m_port.SetBreak(true))
        return;
    QTimer::singleShot(kBreakMs, m_owner, [this] { m_port.SetBreak(false); });
}

void CPortSwitchMenu::EditLine() {
    const CLineChoice current{m_port.LineOverride(), m_port.Flow(), m_port.LinePolicy()};
    CLineDialog dialog(m_owner, current, LineConfigFor(m_port));
    if (dialog.exec() == QDialog::Accepted)
        ApplyLine(dialog.Choice());
}

void CPortSwitchMenu::ApplyLine(const CLineChoice& choice) {
    m_port.SetLineOverride(choice.line);
    m_port.SetFlowControl(choice.flow);
    m_port.SetLinePolicy(choice.policy);
    ReopenIfOpen();
}

void CPortSwitchMenu::SetReconnect(bool on) {
    m_port.SetReconnect(on);
}

void CPortSwitchMenu::SetLineErrors(bool on) {
    m_port.SetLineErrors(on);
    ReopenIfOpen();
}

void CPortSwitchMenu::SetIgnoreEcho(bool on) {
    m_port.SetIgnoreEcho(on);
    ReopenIfOpen();
}

void CPortSwitchMenu::ReopenIfOpen() {
    if (m_port.IsOpen())
        m_reopen();
}

void CPortSwitchMenu::ToggleCapture() {
    if (m_port.Capture()) {
        m_port.SetCapture(nullptr);
        return;
    }
    const std::string portName = ComPortName(m_port.GetCommPort());
    const std::string suggested =
        DocumentsFolder() + "/" + CaptureFileName(portName, std::chrono::system_clock::now());
    const std::string path = ChooseFileToSave(
        kCapture, "Capture Logs (*.log);;Wireshark Captures (*.pcapng);;All Files (*)", suggested,
        m_owner);
    if (path.empty())
        return;
    std::vector<std::shared_ptr<CCaptureSink>> sinks;
    if (const std::string error = OpenCaptures(path, {portName}, sinks); !error.empty()) {
        ShowMessage(error, "Error", kMbOk, m_owner->window());
        return;
    }
    // Writes come from the sending threads too: the news goes to the UI thread, once.
    sinks[0]->SetFailureHook([this, failed = sinks[0].get()](const std::string& error) {
        QMetaObject::invokeMethod(
            m_owner, [this, failed, error] { EndFailedCapture(failed, error); },
            Qt::QueuedConnection);
    });
    m_port.SetCapture(std::move(sinks[0]));
}

// The capture ends, so that the switch shows it off, and the user learns what was lost.
void CPortSwitchMenu::EndFailedCapture(const CCaptureSink* failed, const std::string& error) {
    if (m_port.Capture().get() == failed)
        m_port.SetCapture(nullptr);
    ShowMessage(error, "Error", kMbOk, m_owner->window());
}

} // namespace brivox
