#include "session/HistoryWindow.h"

#include "app/SessionHost.h"
#include "options/HistoryList.h"
#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "platform/X11Window.h"
#include "session/FormHistory.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextEdit>
#include <algorithm>
#include <utility>

namespace brivox {

namespace {

constexpr int kListBox = 1059;
constexpr int kOk = 1011;
constexpr int kCancel = 1012;
constexpr int kDelete = 1013;
constexpr int kMemory = 1014;
constexpr int kDeleteAll = 1015;
constexpr int kDoubleClickToSend = 1053;
constexpr int kGapToButton = 10;

// Liberation Serif stands in for Georgia, which Debian does not ship.
const CDialogTemplate& HistoryTemplate() {
    using K = ControlKind;
    static const CDialogTemplate dialog{
        134,
        "History",
        186,
        156,
        "Liberation Serif",
        9,
        {
            {kListBox, K::ListBox, "", 7, 7, 172, 108},
            {kDoubleClickToSend, K::CheckBox, "Double-click to send", 7, 120, 100, 10,
             ctl::kAutoCheckBox},
            {kOk, K::PushButton, "OK", 7, 135, 40, 14, ctl::kPushButton},
            {kDelete, K::PushButton, "Delete", 51, 135, 40, 14, ctl::kPushButton},
            {kMemory, K::PushButton, "Memory", 95, 135, 40, 14, ctl::kPushButton},
            {kDeleteAll, K::PushButton, "Delete All", 139, 135, 40, 14, ctl::kPushButton},
            {kCancel, K::PushButton, "Cancel", 139, 118, 40, 14, ctl::kPushButton | ctl::kHidden},
        }};
    return dialog;
}

QAbstractButton* Button(const QWidget* dialog, int id) {
    return qobject_cast<QAbstractButton*>(ControlById(dialog, id));
}

} // namespace

QPoint HistoryFramePosition(const QRect& button, const QSize& frame, const QRect& available) {
    QRect placed(QPoint(button.left() - kGapToButton - frame.width(), button.top()), frame);
    if (!available.isValid())
        return placed.topLeft();
    // A frame larger than the area keeps its top-left corner inside.
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    return placed.topLeft();
}

CHistoryWindow::CHistoryWindow(CSessionForm& form, CHistoryList& list)
    : QDialog(form.window()), m_form(&form), m_list(list) {
    setAttribute(Qt::WA_DeleteOnClose);
    const CDialogTemplate& dialog = HistoryTemplate();
    setWindowTitle(QString::fromStdString(dialog.caption));
    BuildDialog(this, dialog);
    setFixedSize(size());
    qobject_cast<QPushButton*>(Button(this, kOk))->setDefault(true);
    m_textAtOpening = InputBox() != nullptr ? InputBox()->toPlainText() : QString();
    Connect();
    Refill();
}

CHistoryWindow::~CHistoryWindow() = default;

void CHistoryWindow::Connect() {
    auto onClick = [this](int id, void (CHistoryWindow::*handler)()) {
        connect(Button(this, id), &QAbstractButton::clicked, this,
                [this, handler] { (this->*handler)(); });
    };
    onClick(kOk, &CHistoryWindow::CloseAndRefocus);
    onClick(kCancel, &CHistoryWindow::reject);
    onClick(kDelete, &CHistoryWindow::OnDelete);
    onClick(kMemory, &CHistoryWindow::OnMemory);
    onClick(kDeleteAll, &CHistoryWindow::OnDeleteAll);
    connect(ListBox(), &QListWidget::itemSelectionChanged, this,
            &CHistoryWindow::OnSelectionChanged);
    connect(ListBox(), &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { OnDoubleClicked(ListBox()->row(item)); });
}

CSessionForm* CHistoryWindow::Form() const {
    return m_form;
}

int CHistoryWindow::ListIndex() const {
    return m_list.Index();
}

QListWidget* CHistoryWindow::ListBox() const {
    return qobject_cast<QListWidget*>(ControlById(this, kListBox));
}

QTextEdit* CHistoryWindow::InputBox() const {
    return m_form ? qobject_cast<QTextEdit*>(m_form->Control(idc::kInput)) : nullptr;
}

void CHistoryWindow::PlaceLeftOf(const QWidget& button) {
    m_anchor = &button;
    if (isVisible())
        Place();
    if (!m_frameWatch && x11::Available())
        m_frameWatch =
            std::make_unique<x11::CPropertyWatch>(std::vector<std::string>{"_NET_FRAME_EXTENTS"},
                                                  [this](unsigned window, const std::string&) {
                                                      if (window == x11::WindowId(this))
                                                          Place();
                                                  });
}

void CHistoryWindow::Place() {
    if (!m_anchor)
        return;
    const QRect button(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
    const QScreen* screen = m_anchor->screen();
    const QMargins frame = FrameMargins(this);
    const QPoint corner = HistoryFramePosition(
        button, size().grownBy(frame), screen != nullptr ? screen->availableGeometry() : QRect());
    // By the client area, from the borders the window manager told: Qt may not know them yet.
    setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), size()));
}

// Filling the box is no choice of the user's: the selection handler stays out of it.
void CHistoryWindow::Refill() {
    {
        const QSignalBlocker quiet(ListBox());
        ListBox()->clear();
        for (const std::string& entry : m_list.Entries())
            ListBox()->addItem(QString::fromStdString(entry));
        ListBox()->setCurrentRow(-1);
    }
    UpdateButtons();
}

int CHistoryWindow::Selected() const {
    const QList<QListWidgetItem*> selected = ListBox()->selectedItems();
    return selected.isEmpty() ? -1 : ListBox()->row(selected.front());
}

void CHistoryWindow::UpdateButtons() {
    const CHistoryButtons states = HistoryButtonStates(m_list.Entries(), Selected());
    Button(this, kDelete)->setEnabled(states.remove);
    Button(this, kMemory)->setEnabled(states.pin);
    Button(this, kDeleteAll)->setEnabled(states.removeAll);
}

void CHistoryWindow::PutIntoInputBox(int row) {
    if (row < 0 || row >= m_list.Count() || InputBox() == nullptr)
        return;
    InputBox()->setPlainText(QString::fromStdString(CHistoryList::TextOf(m_list.Entries()[row])));
}

void CHistoryWindow::OnSelectionChanged() {
    UpdateButtons();
    PutIntoInputBox(Selected());
}

// With "Double-click to send" the form sends as its Send button does, and the window stays. While
// the button cannot send (port closed, Repeat or Test Send on) it is a plain double-click.
void CHistoryWindow::OnDoubleClicked(int row) {
    m_autoClose = false;
    PutIntoInputBox(row);
    auto* send = m_form ? qobject_cast<QAbstractButton*>(m_form->Control(idc::kSend)) : nullptr;
    if (Button(this, kDoubleClickToSend)->isChecked() && send != nullptr && send->isEnabled()) {
        send->click();
    } else {
        CloseAndRefocus();
    }
    m_autoClose = true;
}

bool CHistoryWindow::Ask(const std::string& question) {
    m_autoClose = false;
    const bool yes = ShowMessage(question, "", kMbYesNo | kMbIconQuestion, this) == kIdYes;
    m_autoClose = true;
    return yes;
}

void CHistoryWindow::OnDelete() {
    const int row = Selected();
    if (row >= 0 && Ask("Delete selected item ?") && m_list.Remove(row)) {
        m_list.SaveHistory();
        Refill();
    }
    UpdateButtons();
}

void CHistoryWindow::OnDeleteAll() {
    if (m_list.Count() > 0 && Ask("Delete all items ?")) {
        m_list.RemoveAll();
        m_list.SaveHistory();
        Refill();
    }
    UpdateButtons();
}

void CHistoryWindow::OnMemory() {
    if (m_list.Pin(Selected())) {
        m_list.SaveHistory();
        Refill();
    }
}

void CHistoryWindow::RestoreInputBox() {
    if (InputBox() != nullptr)
        InputBox()->setPlainText(m_textAtOpening);
}

void CHistoryWindow::CloseAndRefocus() {
    if (m_form)
        m_form->History().ArmRefocus();
    CloseQuietly();
}

void CHistoryWindow::reject() {
    CloseAndRefocus();
    RestoreInputBox();
}

void CHistoryWindow::CloseQuietly() {
    m_closing = true;
    close();
}

// The window manager's close button cancels, as Escape does.
void CHistoryWindow::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        m_closing = true;
        reject();
    }
    event->accept();
}

// Placed before it is mapped, then again once painted: placed before it had a frame, the window
// may have its client area where its frame belongs.
void CHistoryWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Place();
}

void CHistoryWindow::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (std::exchange(m_firstPaint, false))
        Place();
}

void CHistoryWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && m_autoClose && !m_closing)
        QMetaObject::invokeMethod(this, &CHistoryWindow::CloseQuietly, Qt::QueuedConnection);
}

} // namespace brivox
