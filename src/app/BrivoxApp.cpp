#include "app/BrivoxApp.h"

#include "app/MainFrame.h"
#include "app/SessionHost.h"
#include "app/WindowState.h"
#include "options/GlobalOptions.h"
#include "platform/Language.h"
#include "platform/Paths.h"
#include "publish/ReleasePublisher.h"
#include "trace/OwnTraceWindow.h"

namespace brivox {

CBrivoxApp::CBrivoxApp() = default;

CBrivoxApp::~CBrivoxApp() = default;

bool CBrivoxApp::InitInstance() {
    PublishStartup(1);
    FillGlobalOptions(GlobalOptions(), SettingsFilePath(), LanguageCode());
    m_traceWindow = std::make_unique<COwnTraceWindow>();
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
    m_traceWindow.reset();
    return 0;
}

} // namespace brivox
