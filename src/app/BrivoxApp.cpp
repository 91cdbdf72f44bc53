#include "app/BrivoxApp.h"

#include "app/MainFrame.h"
#include "app/SessionHost.h"
#include "app/WindowState.h"
#include "options/GlobalOptions.h"
#include "platform/CaretBlink.h"
#include "platform/Language.h"
#include "platform/Paths.h"
#include "publish/ReleasePublisher.h"
#include "session/HistoryWindow.h"
#include "trace/OwnTraceWindow.h"

namespace brivox {

namespace {

CBrivoxApp* g_app = nullptr;

} // namespace

CBrivoxApp::CBrivoxApp() {
    g_app = this;
    for (int i = 0; i < kHistoryListCount; ++i)
        m_history[i].SetIndex(i);
}

CBrivoxApp::~CBrivoxApp() {
    DestroyHistoryWindow();
    g_app = nullptr;
}

CBrivoxApp* CBrivoxApp::Instance() {
    return g_app;
}

bool CBrivoxApp::InitInstance() {
    PublishStartup(1);
    FillGlobalOptions(GlobalOptions(), SettingsFilePath(), LanguageCode());
    for (CHistoryList& list : m_history)
        list.LoadHistory();
    m_traceWindow = std::make_unique<COwnTraceWindow>();
    m_caretBlink = std::make_unique<CCaretBlink>();
    m_frame = std::make_unique<CMainFrame>(SettingsPath(kWindowStateFileName));
    m_frame->ActivateFrame();
    return true;
}

void CBrivoxApp::CloseMainFrame() {
    m_frame.reset();
}

int CBrivoxApp::ExitInstance() {
    CloseMainFrame();
    CSessionHost::DestroyAllChildSessions();
    for (CHistoryList& list : m_history)
        list.SaveHistory();
    DestroyHistoryWindow();
    m_traceWindow.reset();
    m_caretBlink.reset();
    return 0;
}

CHistoryList* CBrivoxApp::HistoryList(int index) {
    return index >= 0 && index < kHistoryListCount ? &m_history[index] : nullptr;
}

// A window that has closed is gone, even while its deletion is still on its way.
CHistoryWindow* CBrivoxApp::HistoryWindow() const {
    return m_historyWindow && m_historyWindow->isVisible() ? m_historyWindow.data() : nullptr;
}

void CBrivoxApp::SetHistoryWindow(CHistoryWindow* window) {
    m_historyWindow = window;
}

void CBrivoxApp::DestroyHistoryWindow() {
    delete m_historyWindow.data();
}

} // namespace brivox
