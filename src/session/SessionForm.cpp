#include "session/SessionForm.h"

#include "app/SessionHost.h"
#include "banner/DefaultBannerScript.h"
#include "banner/NoticeBar.h"
#include "options/GlobalOptions.h"
#include "options/OptionKeys.h"
#include "platform/DialogBuilder.h"
#include "platform/FileDialog.h"
#include "platform/Language.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/RichEdit.h"
#include "script/InputMode.h"
#include "serial/PortDiscovery.h"
#include "session/FormHistory.h"
#include "session/LineSettingChoice.h"
#include "session/LineTurn.h"
#include "session/ModbusPollWindow.h"
#include "session/ModemLineIndicators.h"
#include "session/PortSwitchMenu.h"
#include "session/RulesDialog.h"
#include "session/SendProgram.h"
#include "session/SessionFormIds.h"
#include "session/SessionFormTemplate.h"
#include "session/SessionRules.h"
#include "session/SessionTransfer.h"
#include "session/TransferDialog.h"
#include "trace/TraceClient.h"
#include "util/Text.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTableView>
#include <QTextEdit>
#include <QThread>
#include <climits>

namespace brivox {

namespace {

using namespace idc;

constexpr int kInputLimit = 102400;
constexpr int kShutdownWaitMs = 5000;
constexpr int kShutdownPollMs = 10;
constexpr int kListRefreshMs = 500;

// Selects the character a compile stopped at: a byte offset into the trimmed text.
void SelectCharacter(QTextEdit* input, const std::string& trimmed, int position) {
    const QString text = input->toPlainText();
    int start = 0;
    while (start < text.size() && QStringLiteral(" \t\r\n").contains(text[start]))
        ++start;
    start += static_cast<int>(
        QString::fromUtf8(trimmed.data(), std::min<qsizetype>(position, trimmed.size())).size());
    QTextCursor cursor(input->document());
    cursor.setPosition(std::min<int>(start, text.size()));
    cursor.setPosition(std::min<int>(start + 1, text.size()), QTextCursor::KeepAnchor);
    input->setTextCursor(cursor);
}

} // namespace

CSessionForm::CSessionForm(QWidget* host) : QWidget(host) {
    BuildDialog(this, SessionFormTemplate());
    CreateParts();
    Initialize();
    Connect();
    m_history = std::make_unique<CFormHistory>(*this);
}

CSessionForm::~CSessionForm() {
    StopRuns(); // runs and the banner's request give up
    if (m_port.IsOpen())
        m_port.SetPortOpen(false);
    WaitForJobs();
}

void CSessionForm::CreateParts() {
    m_txRxList = std::make_unique<CByteList>(qobject_cast<QTableView*>(Control(kTxRxList)), false);
    m_rxList = std::make_unique<CByteList>(qobject_cast<QTableView*>(Control(kRxList)), true);
    CSessionSender::CRepeatHooks hooks{
        [this] { return Send(false); },
        [this] {
            qobject_cast<QAbstractButton*>(Control(kRepeat))->setChecked(false);
            RefreshStates();
        }};
    m_sender = std::make_unique<CSessionSender>(m_pool, m_port, m_script, m_txRxList->Model(),
                                                std::move(hooks));
    m_lineTurn = std::make_shared<CLineTurn>();
    m_sender->SetLineTurn(m_lineTurn);
    m_switchMenu = std::make_unique<CPortSwitchMenu>(m_port, this, [this] {
        ReopenWith(m_port.GetCommPort(), m_port.GetSettings());
        RefreshStates();
        RefreshOpenCaption();
    });
    m_rules = std::make_unique<CSessionRules>(m_port, m_txRxList->Model());
    m_transfer = std::make_unique<CSessionTransfer>(m_port);
    for (CByteList* list : {m_txRxList.get(), m_rxList.get()})
        m_switchMenu->AttachTo(list->View(), [this, list](QMenu& menu) {
            list->Actions().AddTo(menu);
            connect(menu.addAction(QString::fromLatin1(kRulesAction)), &QAction::triggered, this,
                    [this] { ShowRules(); });
            connect(menu.addAction(QString::fromLatin1(kSendFileAction)), &QAction::triggered, this,
                    [this] { ShowTransfer(false); });
            connect(menu.addAction(QString::fromLatin1(kReceiveFileAction)), &QAction::triggered,
                    this, [this] { ShowTransfer(true); });
            connect(menu.addAction(QString::fromLatin1(kPollAction)), &QAction::triggered, this,
                    [this] { OpenPollWindow(); });
        });
    PlaceModemLamps();
}

CRulesDialog& CSessionForm::ShowRules() {
    if (!m_rulesDialog)
        m_rulesDialog = std::make_unique<CRulesDialog>(this, *m_rules);
    m_rulesDialog->show();
    m_rulesDialog->raise();
    return *m_rulesDialog;
}

CModbusPollWindow& CSessionForm::OpenPollWindow() {
    std::erase_if(m_pollWindows, [](const auto& window) { return window->isHidden(); }); // closed
    m_pollWindows.push_back(
        std::make_unique<CModbusPollWindow>(this, m_port, m_lineTurn, SettingsPath("polls")));
    m_pollWindows.back()->show();
    return *m_pollWindows.back();
}

CTransferDialog& CSessionForm::ShowTransfer(bool receiving) {
    std::unique_ptr<CTransferDialog>& dialog = m_transferDialogs[receiving ? 1 : 0];
    if (!dialog)
        dialog = std::make_unique<CTransferDialog>(this, *m_transfer, receiving);
    dialog->show();
    dialog->raise();
    return *dialog;
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
    ApplyViewType();
    PlaceInputBox();
    // The timer runs while bytes come: an idle session wakes for nothing.
    m_listTimer.setInterval(kListRefreshMs);
    connect(&m_listTimer, &QTimer::timeout, this, [this] {
        const bool txRxChanged = m_txRxList->RefreshAscii();
        if (!m_rxList->RefreshAscii() && !txRxChanged)
            m_listTimer.stop();
    });
    const auto wake = [this] {
        if (!m_listTimer.isActive())
            m_listTimer.start();
    };
    for (CByteList* list : {m_txRxList.get(), m_rxList.get()}) {
        connect(&list->Model(), &QAbstractItemModel::rowsInserted, this, wake);
        connect(&list->Model(), &QAbstractItemModel::dataChanged, this, wake);
    }
    m_listTimer.start();
    if (auto* test = qobject_cast<QAbstractButton*>(Control(kTestSend)))
        test->setChecked(false);
    if (auto* repeat = qobject_cast<QAbstractButton*>(Control(kRepeat)))
        repeat->setChecked(false);
    RefreshStates();
    AttachBanner();
}

// The notices share the sending flag: it is the banner request's keep-going flag.
void CSessionForm::AttachBanner() {
    m_banner = new CNoticeBar(&GlobalOptions(), m_sender->SharedRunState(),
                              DefaultBannerScript(LanguageCode()), NoticeScriptUrl(), "brivox_main",
                              false, true);
    QWidget* placeholder = Control(kBanner);
    m_banner->Attach(qobject_cast<QLabel*>(placeholder));
    m_banner->Init();
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
    onClick(kTestSend, [this] { OnTestSendClicked(); });
    onClick(kRepeat, [this] { OnRepeatClicked(); });
    onClick(kSend, [this] { Send(true); });
    onClick(kClearRx, [this] { m_rxList->Clear(); });
    onClick(kBrowse, [this] { OnBrowse(); });
    InputBox()->installEventFilter(this);
}

QWidget* CSessionForm::Control(int id) const {
    return ControlById(this, id);
}

QComboBox* CSessionForm::Combo(int id) const {
    return qobject_cast<QComboBox*>(Control(id));
}

QTextEdit* CSessionForm::InputBox() const {
    return qobject_cast<QTextEdit*>(Control(kInput));
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
    m_txRxList->SetPaired(conditions.mode == kDetailMode && !conditions.testSend);
}

void CSessionForm::RefreshOpenCaption() {
    qobject_cast<QAbstractButton*>(Control(kOpenClose))
        ->setText(m_port.IsOpen() ? QStringLiteral("Close") : QStringLiteral("Open"));
    CModemLines lines;
    if (m_port.ReadModemLines(lines))
        m_modemLamps->Show(lines);
    else
        m_modemLamps->ShowUnavailable();
}

void CSessionForm::ModemLinesChanged(const CModemLines& lines) {
    m_modemLamps->Show(lines);
}

// At the right end of the banner's row, hidden until the lists' menu shows it.
void CSessionForm::PlaceModemLamps() {
    m_modemLamps = new CModemLineIndicators(this);
    const QRect row = Control(kBanner)->geometry();
    const QSize size = m_modemLamps->sizeHint();
    m_modemLamps->setGeometry(row.right() + 1 - size.width(), row.top(), size.width(),
                              std::max(size.height(), row.height()));
    m_modemLamps->hide();
    m_switchMenu->SetModemLamps(m_modemLamps);
}

void CSessionForm::OnModeChanged() {
    m_binder.StoreControl(Combo(kMode), true, false, "Error", true, false);
    qobject_cast<QLabel*>(Control(kHelpText))
        ->setText(QString::fromStdString(ModeHelpText(Combo(kMode)->currentIndex())));
    RefreshStates();
    InputBox()->clear();
    InputBox()->setFocus();
    m_txRxList->Clear();
    m_rxList->Clear();
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
        StopRuns();
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

void CSessionForm::EndWaitIfClosed() {
    if (!m_port.IsOpen())
        m_port.Close();
}

void CSessionForm::OnPortChanged() {
    EndWaitIfClosed();
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
    EndWaitIfClosed();
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
    EndWaitIfClosed();
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
    ApplyViewType();
    if (TraceGateOpen())
        m_binder.ShowKeys();
}

void CSessionForm::ApplyViewType() {
    const bool hex = m_binder.GetInt(opt::kViewTypeIndex, 0) == 0;
    m_txRxList->SetHexView(hex);
    m_rxList->SetHexView(hex);
}

void CSessionForm::OnStoreAtOnce(int id) {
    m_binder.StoreControl(Control(id), true, false, "Error", true, false);
}

void CSessionForm::CollectControls() {
    m_binder.StoreControls(false, false, this, "Error", true);
    StoreFilePath();
}

void CSessionForm::StoreFilePath() {
    m_binder.SetString(
        opt::kTransferFilePath,
        m_filePath.Collect(qobject_cast<QPlainTextEdit*>(Control(kFilePath))->toPlainText()));
}

bool CSessionForm::Send(bool byButton) {
    if (!m_binder.StoreControls(true, false, this, "Error", true).empty())
        return false;
    StoreFilePath();
    m_rxList->Clear();
    const std::string text = TrimText(InputBox()->toPlainText().toStdString());
    const int mode = m_binder.GetInt(opt::kModeIndex, 0);
    const CModbusBoxes boxes{Control(kBitsData)->isEnabled(), Control(kWordsData)->isEnabled()};
    const CSendProgramResult built =
        BuildSendProgram(m_script, mode, text, boxes, m_binder.GetString(opt::kTransferFilePath));
    ShowProgramOutcome(built, text);
    if (!built.Succeeded() || !byButton)
        return built.Succeeded();
    m_sender->StartSendJob();
    if (IsChecked(kClearAfterSending))
        InputBox()->clear();
    if (m_historyHook)
        m_historyHook(mode, text);
    return true;
}

// What building the program shows before anything is sent: the file's size and result line,
// the box or character to correct, and what went wrong. A repeat tick shows it as the button
// does: the run stops there rather than sending what an earlier build left.
void CSessionForm::ShowProgramOutcome(const CSendProgramResult& built, const std::string& text) {
    if (built.fileLength >= 0)
        qobject_cast<QProgressBar*>(Control(kFileProgress))
            ->setRange(0, static_cast<int>(std::min<int64_t>(built.fileLength, INT_MAX)));
    if (built.fileBytes >= 0 && Control(kFileResult)->isVisibleTo(this))
        qobject_cast<QLabel*>(Control(kFileResult))
            ->setText(QString::fromStdString(TransferResultText(built.fileBytes)));
    if (built.position >= 0) {
        InputBox()->setFocus();
        SelectCharacter(InputBox(), text, built.position);
    }
    if (built.focus != ModbusFocus::None)
        Control(built.focus == ModbusFocus::BitsBox ? kBitsData : kWordsData)->setFocus();
    if (!built.Succeeded())
        ShowMessage(built.message, built.caption, built.plainBox ? kMbOk : kMbOk | kMbIconError,
                    window());
}

void CSessionForm::OnTestSendClicked() {
    const bool checked = IsChecked(kTestSend);
    TraceLine(std::string("bTWSDSend=") + (checked ? "1" : "0"));
    m_sender->SetTestSend(checked);
    RefreshStates();
}

// Checking starts the cycle once its edit holds a valid number of milliseconds.
void CSessionForm::OnRepeatClicked() {
    if (IsChecked(kRepeat)) {
        const std::string problem =
            m_binder.StoreControl(Control(kRepeatCycle), true, false, "Error", true, true);
        if (!problem.empty()) {
            qobject_cast<QAbstractButton*>(Control(kRepeat))->setChecked(false);
            RefreshStates();
            ShowMessage(problem, "Error", kMbOk, window());
            return;
        }
        m_sender->StartRepeat(m_binder.GetInt(opt::kRepeatInterval, 0));
    } else {
        m_sender->StopRepeat();
    }
    RefreshStates();
}

void CSessionForm::OnBrowse() {
    const std::string path = ChooseFileToOpen("File to Send", "All Kind of File (*)", this);
    if (path.empty())
        return;
    qobject_cast<QPlainTextEdit*>(Control(kFilePath))->setPlainText(QString::fromStdString(path));
    qobject_cast<QLabel*>(Control(kFileResult))->clear();
}

bool CSessionForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Control(kInput) && event->type() == QEvent::KeyPress &&
        OnInputKey(*static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

// "Key Stroke" sends what each key types (Escape excepted: it stops runs) and lets the
// character into the box; the other modes send on Return.
bool CSessionForm::OnInputKey(const QKeyEvent& key) {
    if (!m_port.IsOpen() || key.key() == Qt::Key_Escape)
        return false;
    if (m_binder.GetInt(opt::kModeIndex, 0) == kKeyStrokeMode) {
        const QByteArray bytes = key.text().toUtf8();
        for (const char byte : bytes)
            m_port.SendByte(static_cast<uint8_t>(byte), true);
        if (!bytes.isEmpty() && IsChecked(kClearAfterSending))
            InputBox()->clear();
        return false;
    }
    if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter)
        return false;
    Send(true);
    return true;
}

void CSessionForm::WaitForJobs() {
    QElapsedTimer waited;
    waited.start();
    while (m_pool.GetBusyCount() != 0) {
        StopRuns();
        if (waited.elapsed() > kShutdownWaitMs) {
            m_pool.TerminateAll();
            return;
        }
        QThread::msleep(kShutdownPollMs);
    }
}

void CSessionForm::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Escape never closes the form; it ends the runs in progress. Return only acts in the
    // input box.
    if (event->key() == Qt::Key_Escape)
        StopRuns();
    if (event->key() == Qt::Key_Escape || (enter && !Control(kInput)->hasFocus())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Escape, closing the port and closing the session clear the sending flag, which is also the
// banner request's keep-going flag.
void CSessionForm::StopRuns() {
    m_sender->Stop();
}

void CSessionForm::ReceiveBytes(const uint8_t* bytes, int count) {
    ReceiveMarkedBytes(bytes, nullptr, count);
}

void CSessionForm::ReceiveMarkedBytes(const uint8_t* bytes, const uint8_t* marks, int count) {
    if (m_transfer->Take(bytes, count))
        return; // a transfer's bytes are its own
    m_lineTurn->Heard();
    for (const auto& window : m_pollWindows)
        if (window->Poll().Take(bytes, count))
            return; // the reply to a poll's request
    m_sender->RunState().OnReceived(bytes, count, marks);
    if (!m_stopDisplay)
        m_rxList->AddBytes(bytes, count, ByteKind::Received, marks);
    m_rules->Receive(bytes, count);
}

// Typed keys: paced on the UI thread, as the option says.
void CSessionForm::WriteBytes(const CByteBuffer& bytes) {
    const int delay = m_binder.GetInt(opt::kByteDelay, 0);
    if (delay <= 0) {
        m_port.Write(bytes);
        return;
    }
    for (const uint8_t byte : bytes.ToVector()) {
        m_port.Write(&byte, 1);
        QThread::msleep(static_cast<unsigned long>(delay));
    }
}

// Single bytes come only from typing.
void CSessionForm::PostSentByte(uint8_t byte) {
    m_sender->PostTypedByte(byte);
}

// Shown as closed at once; no message, so a pulled adapter does not bring a storm of boxes.
// Test Send and "Repeat" let go too: checked, they would keep the port locked and could no
// longer be unchecked.
void CSessionForm::PortLost() {
    StopRuns();
    m_transfer->Cancel();
    for (const auto& window : m_pollWindows)
        window->Poll().Stop();
    for (const int id : {kTestSend, kRepeat})
        qobject_cast<QAbstractButton*>(Control(id))->setChecked(false);
    m_sender->SetTestSend(false);
    m_sender->StopRepeat();
    RefreshStates();
    RefreshOpenCaption();
}

// The lines come back as the check boxes say, as after every open.
void CSessionForm::PortReopened() {
    m_rules->Reset();
    m_port.SetDTR(IsChecked(kDtr));
    m_port.SetRTS(IsChecked(kRts));
    RefreshStates();
    RefreshOpenCaption();
}

void CSessionForm::ShowPortMessage(const std::string& text) {
    ShowMessage(text, "", kMbOk, window());
}

} // namespace brivox
