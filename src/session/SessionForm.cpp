#include "session/SessionForm.h"

#include "app/SessionHost.h"
#include "options/GlobalOptions.h"
#include "options/OptionKeys.h"
#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "platform/RichEdit.h"
#include "serial/PortDiscovery.h"
#include "session/LineSettingChoice.h"
#include "session/SessionFormIds.h"
#include "session/SessionFormTemplate.h"
#include "trace/TraceClient.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTextEdit>
#include <QThread>

namespace brivox {

namespace {

using namespace idc;

constexpr int kInputLimit = 102400;
constexpr int kShutdownWaitMs = 5000;
constexpr int kShutdownPollMs = 10;

// Columns of both lists: the row label, 16 bytes, the ASCII column.
constexpr int kLabelColumnWidth = 25;
constexpr int kByteColumnWidth = 30;
constexpr int kAsciiColumnWidth = 118;

} // namespace

CSessionForm::CSessionForm(QWidget* host) : QWidget(host) {
    BuildDialog(this, SessionFormTemplate());
    Initialize();
    Connect();
}

CSessionForm::~CSessionForm() {
    if (m_port.IsOpen())
        m_port.SetPortOpen(false);
    WaitForJobs();
}

void CSessionForm::Initialize() {
    m_binder.SetTemplate("range_invalid", "$name must be $range_min~$range_max.");
    m_binder.SetTemplate("chars_invalid",
                         "The length of characters must be $chars_min~$chars_max.");
    m_binder.CopyFrom(GlobalOptions());
    m_binder.Attach(this);
    RegisterBindings();
    m_binder.LoadControls();
    // The file path is no binding: the form keeps it itself.
    qobject_cast<QPlainTextEdit*>(Control(kFilePath))
        ->setPlainText(m_filePath.Show(m_binder.GetString(opt::kTransferFilePath)));
    OnModeChanged();
    RefreshOpenCaption();
    m_pool.Start(30, 10, 10);
    PrepareLists();
    PlaceInputBox();
    if (auto* test = qobject_cast<QAbstractButton*>(Control(kTestSend)))
        test->setChecked(false);
    if (auto* repeat = qobject_cast<QAbstractButton*>(Control(kRepeat)))
        repeat->setChecked(false);
    RefreshStates();
}

void CSessionForm::RegisterBindings() {
    std::string ports;
    for (const CPortEntry& entry : DiscoverPortTable())
        ports += (ports.empty() ? "" : "|") + PortComboText(entry);
    m_binder.BindCombos("GOPT.spindex,GOPT.brindex,GOPT.jpdkind,GOPT.mdfcindex,GOPT.rsdptype,"
                        "GOPT.bparity,GOPT.databits,GOPT.stopbits",
                        "Port,Baud-Rate,Protocol,Function,View Type,Parity,Data Bits,Stop Bits",
                        {ports, kBaudRateItems,
                         "Key Stroke|Detail|String|Decimal|MODBUS ASCII|MODBUS RTU|File "
                         "Transfer(1Kbyte maximum)",
                         "Bit Read [01]|One Bit Write|Word Read [03]|One Word Write|Multiple Bit "
                         "Write|Multiple Word Write|Bit Read [02]|Word Read [04]",
                         "HEX|DEC", "NoParity|Odd|Even", "Data Bits 7|Data Bits 8",
                         "Stop Bits 1|Stop Bits 2"});
    m_binder.BindCheckBoxes(
        "GOPT.clear_jpdtext_after_sdsending,*,GOPT.enable_rts,GOPT.enable_dtr,GOPT.mdbiton", "");
    m_binder.SetInt(opt::kPortIndex, CSessionHost::DefaultPortIndex());
    m_binder.BindLengthEdits(
        "*,GOPT.mdstaddress,*,*,GOPT.mdwddata,GOPT.gmdthbyte,*,*,GOPT.gmdthword",
        "Start Address,Word Data,Bits In Hexa Format,Multiple Word Data",
        {{4, 4}, {4, 4}, {0, 2000}, {0, 2000}});
    m_binder.BindRangeEdits(
        "*,*,GOPT.mdsladdress,GOPT.mdlength,*,*,GOPT.wsdsinterval,GOPT.sdsdelay",
        "Slave Address,Length,Repeat Cycle,Delay Between Bytes",
        {{0, 254}, {1, 65535}, {1, 1000000}, {0, 500}});
}

// The input box takes the place of the MODBUS fields: from the "Function" label to "Send".
void CSessionForm::PlaceInputBox() {
    QWidget* label = Control(kFunctionLabel);
    QWidget* send = Control(kSend);
    auto* input = qobject_cast<CRichEdit*>(Control(kInput));
    const int top = label->y() - 7;
    input->setGeometry(label->x(), top, send->geometry().right() + 1 - label->x(),
                       send->y() - top - 5);
    input->SetTextLimit(kInputLimit);
}

void CSessionForm::PrepareLists() {
    for (const int id : {kTxRxList, kRxList}) {
        auto* list = qobject_cast<QTableWidget*>(Control(id));
        list->setShowGrid(true);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setColumnCount(18);
        list->setColumnWidth(0, kLabelColumnWidth);
        for (int column = 1; column <= 16; ++column)
            list->setColumnWidth(column, kByteColumnWidth);
        list->setColumnWidth(17, kAsciiColumnWidth);
    }
}

void CSessionForm::Connect() {
    auto onCombo = [this](int id, void (CSessionForm::*handler)()) {
        connect(Combo(id), QOverload<int>::of(&QComboBox::activated), this,
                [this, handler] { (this->*handler)(); });
    };
    onCombo(kMode, &CSessionForm::OnModeChanged);
    onCombo(kPort, &CSessionForm::OnPortChanged);
    onCombo(kBaud, &CSessionForm::OnBaudChanged);
    for (const int id : {kParity, kDataBits, kStopBits})
        onCombo(id, &CSessionForm::OnLineOptionChanged);
    onCombo(kFunction, &CSessionForm::RefreshStates);
    onCombo(kViewType, &CSessionForm::OnViewTypeChanged);

    auto onClick = [this](int id, auto handler) {
        connect(qobject_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                handler);
    };
    onClick(kOpenClose, [this] { OnOpenClose(); });
    onClick(kClearAfterSending, [this] { OnStoreAtOnce(kClearAfterSending); });
    onClick(kRts, [this] { m_port.SetRTS(IsChecked(kRts)); });
    onClick(kDtr, [this] { m_port.SetDTR(IsChecked(kDtr)); });
    onClick(kStopDisplay, [this] { m_stopDisplay = !m_stopDisplay; });
    onClick(kTestSend, [this] { RefreshStates(); });
    onClick(kRepeat, [this] { RefreshStates(); });
}

QWidget* CSessionForm::Control(int id) const {
    return ControlById(this, id);
}

QComboBox* CSessionForm::Combo(int id) const {
    return qobject_cast<QComboBox*>(Control(id));
}

bool CSessionForm::IsChecked(int id) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Control(id));
    return button != nullptr && button->isChecked();
}

CFormConditions CSessionForm::Conditions() const {
    return {Combo(kMode)->currentIndex(), Combo(kFunction)->currentIndex(), m_port.IsOpen(),
            IsChecked(kTestSend), IsChecked(kRepeat)};
}

void CSessionForm::RefreshStates() {
    const CFormConditions conditions = Conditions();
    for (const int id : StatefulControlIds()) {
        QWidget* control = Control(id);
        control->setVisible(IsControlShown(id, conditions));
        control->setEnabled(IsControlEnabled(id, conditions));
    }
}

void CSessionForm::RefreshOpenCaption() {
    qobject_cast<QAbstractButton*>(Control(kOpenClose))
        ->setText(m_port.IsOpen() ? QStringLiteral("Close") : QStringLiteral("Open"));
}

void CSessionForm::OnModeChanged() {
    m_binder.StoreControl(Combo(kMode), true, false, "Error", true, false);
    qobject_cast<QLabel*>(Control(kHelpText))
        ->setText(QString::fromStdString(ModeHelpText(Combo(kMode)->currentIndex())));
    RefreshStates();
    auto* input = qobject_cast<QTextEdit*>(Control(kInput));
    input->clear();
    input->setFocus();
    for (const int id : {kTxRxList, kRxList})
        qobject_cast<QTableWidget*>(Control(id))->setRowCount(0);
}

std::string CSessionForm::SettingsFromCombos() const {
    return SettingsTextFromIndexes(Combo(kBaud)->currentIndex(), Combo(kParity)->currentIndex(),
                                   Combo(kDataBits)->currentIndex(),
                                   Combo(kStopBits)->currentIndex());
}

int CSessionForm::PortNumberFromCombo() const {
    return PortNumberFromComboText(Combo(kPort)->currentText().toStdString());
}

void CSessionForm::SelectPort(int portNumber) {
    QComboBox* combo = Combo(kPort);
    for (int i = 0; i < combo->count(); ++i) {
        if (PortNumberFromComboText(combo->itemText(i).toStdString()) == portNumber) {
            combo->setCurrentIndex(i);
            return;
        }
    }
}

void CSessionForm::OnOpenClose() {
    if (m_port.IsOpen()) {
        m_port.SetPortOpen(false);
    } else if (const std::string blank = BlankLineSettingMessage(
                   Combo(kBaud)->currentIndex(), Combo(kParity)->currentIndex(),
                   Combo(kDataBits)->currentIndex(), Combo(kStopBits)->currentIndex());
               !blank.empty()) {
        ShowMessage(blank, "Error", kMbOk, window());
    } else {
        const int number = PortNumberFromCombo();
        TraceToWindow("trying to open port " + std::to_string(number), false);
        m_port.SetCommPort(number);
        m_port.SetSettings(SettingsFromCombos());
        if (m_port.SetPortOpen(true)) {
            m_port.SetDTR(IsChecked(kDtr));
            m_port.SetRTS(IsChecked(kRts));
        } else if (m_port.GetLastErrorKind() == PortError::PermissionDenied) {
            // Busy or missing ports stay silent; a port the user may not open needs a word on
            // what to do, or the button just seems broken.
            ShowMessage(m_port.GetLastError(), "Error", kMbOk, window());
        }
    }
    RefreshStates();
    RefreshOpenCaption();
    if (m_port.IsOpen())
        Control(kInput)->setFocus();
}

bool CSessionForm::ReopenWith(int portNumber, const std::string& settings) {
    m_port.SetPortOpen(false);
    m_port.SetCommPort(portNumber);
    m_port.SetSettings(settings);
    const bool opened = m_port.SetPortOpen(true);
    if (opened) {
        m_port.SetDTR(IsChecked(kDtr));
        m_port.SetRTS(IsChecked(kRts));
    }
    return opened;
}

// A device that cannot take the change (gone, busy, refusing the settings) fails the change:
// the previous choice comes back and the port opens again on it where it can.
void CSessionForm::RestoreAfterFailure(int portNumber, const std::string& settings,
                                       const std::string& text, const std::string& caption) {
    ReopenWith(portNumber, settings);
    RefreshStates();
    RefreshOpenCaption();
    ShowMessage(text, caption, kMbOk, window());
}

void CSessionForm::OnPortChanged() {
    const int number = PortNumberFromCombo();
    if (!m_port.IsOpen() || number == m_port.GetCommPort())
        return;
    const int oldNumber = m_port.GetCommPort();
    TraceToWindow("trying to change port to " + std::to_string(number), false);
    if (ReopenWith(number, m_port.GetSettings()))
        return;
    SelectPort(oldNumber);
    RestoreAfterFailure(oldNumber, m_port.GetSettings(),
                        "Cannot Change Port to COM" + std::to_string(number),
                        "Port Cannot be Changed");
}

void CSessionForm::OnBaudChanged() {
    const int oldIndex = m_binder.GetInt(opt::kBaudIndex, 0);
    m_binder.StoreControl(Combo(kBaud), true, false, "Error", true, false);
    const std::string settings = SettingsFromCombos();
    const std::string oldSettings = m_port.GetSettings();
    if (!m_port.IsOpen() || settings == oldSettings)
        return;
    const int index = Combo(kBaud)->currentIndex();
    TraceLine("Trying to change to " + settings + "(" + std::to_string(index) + ")");
    if (ReopenWith(m_port.GetCommPort(), settings))
        return;
    Combo(kBaud)->setCurrentIndex(oldIndex);
    m_binder.StoreControl(Combo(kBaud), false, false, "Error", true, true);
    RestoreAfterFailure(m_port.GetCommPort(), oldSettings,
                        "Cannot Change Baud Rate to " + BaudRateText(index),
                        "Baud Rate Cannot be Changed");
}

void CSessionForm::OnLineOptionChanged() {
    for (const int id : {kParity, kDataBits, kStopBits})
        m_binder.StoreControl(Combo(id), true, false, "Error", true, false);
    const std::string settings = SettingsFromCombos();
    const std::string oldSettings = m_port.GetSettings();
    if (!m_port.IsOpen() || settings == oldSettings)
        return;
    if (ReopenWith(m_port.GetCommPort(), settings))
        return;
    RestoreAfterFailure(m_port.GetCommPort(), oldSettings, "Cannot Change Communication Option",
                        "Communication Option Cannot be Changed");
}

// The lists paint by the view type; developers also see which key each control is bound to.
void CSessionForm::OnViewTypeChanged() {
    m_binder.StoreControl(Combo(kViewType), true, false, "Error", true, false);
    for (const int id : {kTxRxList, kRxList})
        Control(id)->update();
    if (TraceGateOpen())
        m_binder.ShowKeys();
}

void CSessionForm::OnStoreAtOnce(int id) {
    m_binder.StoreControl(Control(id), true, false, "Error", true, false);
}

void CSessionForm::CollectControls() {
    m_binder.StoreControls(false, false, this, "Error", true);
    m_binder.SetString(
        opt::kTransferFilePath,
        m_filePath.Collect(qobject_cast<QPlainTextEdit*>(Control(kFilePath))->toPlainText()));
}

void CSessionForm::WaitForJobs() {
    QElapsedTimer waited;
    waited.start();
    while (m_pool.GetBusyCount() != 0) {
        m_runState->SetSending(false);
        if (waited.elapsed() > kShutdownWaitMs) {
            m_pool.TerminateAll();
            return;
        }
        QThread::msleep(kShutdownPollMs);
    }
}

void CSessionForm::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Escape never closes the form; Return only acts in the input box.
    if (event->key() == Qt::Key_Escape || (enter && !Control(kInput)->hasFocus())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CSessionForm::ReceiveBytes(const uint8_t* bytes, int count) {
    m_runState->OnReceived(bytes, count);
}

void CSessionForm::WriteBytes(const CByteBuffer& bytes) {
    m_port.Write(bytes);
}

void CSessionForm::PostSentByte(uint8_t) {}

// Shown as closed at once; no message, so a pulled adapter does not bring a storm of boxes.
void CSessionForm::PortLost() {
    RefreshStates();
    RefreshOpenCaption();
}

void CSessionForm::ShowPortMessage(const std::string& text) {
    ShowMessage(text, "", kMbOk, window());
}

} // namespace brivox
