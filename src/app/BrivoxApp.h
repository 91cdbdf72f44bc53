#pragma once

#include <memory>

namespace brivox {

class CMainFrame;
class COwnTraceWindow;

// Start-up and shut-down of the program, in their order.
class CBrivoxApp {
public:
    CBrivoxApp();
    ~CBrivoxApp();

    // Fills the global options, makes and shows the main frame.
    bool InitInstance();
    // Child sessions go after the main frame: they have no owner.
    int ExitInstance();
    CMainFrame* MainFrame() const { return m_frame.get(); }
    // The frame goes, and with it the main session, which saves the settings.
    void CloseMainFrame();

private:
    // Made before the frame, so that the first trace line can make the trace window.
    std::unique_ptr<COwnTraceWindow> m_traceWindow;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace brivox
