#include "session/FormHistory.h"

#include "app/BrivoxApp.h"
#include "options/HistoryList.h"
#include "session/GuideDialog.h"
#include "session/HistoryWindow.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QTextEdit>

namespace brivox {

namespace {

constexpr int kRefocusMs = 100;

} // namespace

CFormHistory::CFormHistory(CSessionForm& form) : m_form(form) {
    m_refocusTimer.setSingleShot(true);
    m_refocusTimer.setInterval(kRefocusMs);
    connect(&m_refocusTimer, &QTimer::timeout, this, &CFormHistory::Refocus);
    QWidget* history = form.Control(idc::kHistory);
    connect(qobject_cast<QAbstractButton*>(history), &QAbstractButton::clicked, this,
            &CFormHistory::ToggleWindow);
    history->installEventFilter(this);
    connect(qobject_cast<QAbstractButton*>(form.Control(idc::kGuide)), &QAbstractButton::clicked,
            this, &CFormHistory::ShowGuide);
    form.SetSendHistoryHook([this](int mode, const std::string& text) { Record(mode, text); });
    form.installEventFilter(this);
}

CFormHistory::~CFormHistory() {
    CBrivoxApp* app = CBrivoxApp::Instance();
    if (app != nullptr && app->HistoryWindow() != nullptr &&
        app->HistoryWindow()->Form() == &m_form)
        app->DestroyHistoryWindow();
}

void CFormHistory::Record(int mode, const std::string& text) {
    CBrivoxApp* app = CBrivoxApp::Instance();
    CHistoryList* list = app != nullptr ? app->HistoryList(mode) : nullptr;
    if (list == nullptr)
        return;
    const bool added = list->AddToHistory(text);
    list->SaveHistory();
    if (CHistoryWindow* window = app->HistoryWindow();
        added && window && window->ListIndex() == mode)
        window->Refill();
}

// At most one window in the application: the button closes whichever is open.
void CFormHistory::ToggleWindow() {
    CBrivoxApp* app = CBrivoxApp::Instance();
    if (app == nullptr)
        return;
    if (app->HistoryWindow() != nullptr) {
        app->DestroyHistoryWindow();
        return;
    }
    CHistoryList* list = app->HistoryList(m_form.Conditions().mode);
    if (list == nullptr)
        return;
    auto* window = new CHistoryWindow(m_form, *list);
    app->SetHistoryWindow(window);
    window->PlaceLeftOf(*m_form.Control(idc::kHistory));
    window->show();
}

void CFormHistory::CloseWindow() {
    if (CBrivoxApp* app = CBrivoxApp::Instance())
        app->DestroyHistoryWindow();
}

void CFormHistory::ArmRefocus() {
    m_refocusTimer.start();
}

void CFormHistory::Refocus() {
    auto* input = qobject_cast<QTextEdit*>(m_form.Control(idc::kInput));
    m_form.window()->activateWindow();
    input->setFocus();
    input->moveCursor(QTextCursor::End);
}

void CFormHistory::ShowGuide() {
    CGuideDialog(&m_form).exec();
}

// A left click on the form itself (its controls keep theirs) closes the History window. A press on
// "History .." that finds the window open closes it and is swallowed: the press also takes the
// activation from the window, which then closes itself, and the click would open a new one.
bool CFormHistory::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress ||
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return QObject::eventFilter(watched, event);
    if (watched == &m_form)
        CloseWindow();
    const CBrivoxApp* app = CBrivoxApp::Instance();
    if (watched == m_form.Control(idc::kHistory) && app != nullptr &&
        app->IsHistoryWindowAround()) {
        CloseWindow();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace brivox
