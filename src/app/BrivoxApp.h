#pragma once

#include "options/HistoryList.h"

#include <QPointer>
#include <array>
#include <memory>

namespace brivox {

class CCaretBlink;
class CHistoryWindow;
class CMainFrame;
class COwnTraceWindow;

// Start-up and shut-down of the program, in their order. It keeps what all sessions share: the
// send-history lists, one per input mode, and the one History window.
class CBrivoxApp {
public:
    static constexpr int kHistoryListCount = 10;

    CBrivoxApp();
    ~CBrivoxApp();
    CBrivoxApp(const CBrivoxApp&) = delete;
    CBrivoxApp& operator=(const CBrivoxApp&) = delete;

    // The one application object; null while there is none.
    static CBrivoxApp* Instance();

    // Fills the global options, loads the history lists, makes and shows the main frame.
    bool InitInstance();
    // Child sessions go after the main frame: they have no owner. The history lists are saved.
    int ExitInstance();
    CMainFrame* MainFrame() const { return m_frame.get(); }
    // The frame goes, and with it the main session, which saves the settings.
    void CloseMainFrame();

    // The list of an input mode; null beyond the ten.
    CHistoryList* HistoryList(int index);
    // The open History window, null while none is open.
    CHistoryWindow* HistoryWindow() const;
    // Open, or closed with its deletion still on its way.
    bool IsHistoryWindowAround() const { return !m_historyWindow.isNull(); }
    void SetHistoryWindow(CHistoryWindow* window);
    void DestroyHistoryWindow();

private:
    // Made before the frame, so that the first trace line can make the trace window.
    std::unique_ptr<COwnTraceWindow> m_traceWindow;
    std::unique_ptr<CCaretBlink> m_caretBlink;
    std::unique_ptr<CMainFrame> m_frame;
    std::array<CHistoryList, kHistoryListCount> m_history;
    QPointer<CHistoryWindow> m_historyWindow;
};

} // namespace brivox
