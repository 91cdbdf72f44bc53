#pragma once

#include "app/BrivoxView.h"
#include "app/FrameSizeGuard.h"
#include "app/WindowState.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <string>

class QAction;

namespace brivox {

// The main window: caption "Brivox v1.42", the Session and Help menus, the main session in its
// view. It reopens where it was left (the window-state file), fits itself to the session form
// at its first paint (or its first restore when it starts maximised), keeps that size while it
// is not maximised, and writes its placement when it goes.
class CMainFrame : public QMainWindow {
public:
    // Placement comes from this window-state file; the screen size clamps it.
    explicit CMainFrame(const std::string& windowStatePath);
    ~CMainFrame() override;

    // Shows the frame: maximised on the first activation when it was left maximised.
    void ActivateFrame();
    CBrivoxView& View() const { return *m_view; }
    CBrivoxDoc& Document() { return m_document; }
    const std::string& WindowStateText() const { return m_windowState; }
    QAction* CloseAllChildrenAction() const { return m_closeAllChildren; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void RecordState();
    void FitToForm();
    void Refit();
    void ShowAbout();

    std::string m_windowStatePath;
    std::string m_windowState;
    CFrameCreateRecord m_placement;
    bool m_maximizedAtStart = false;
    bool m_firstPaint = true;
    bool m_firstActivation = true;
    bool m_fitPending = false;
    bool m_placeOnRestore = false;
    QTimer m_recordTimer;
    CFrameSizeGuard m_sizeGuard{*this, [this] { Refit(); }};
    CBrivoxView* m_view;
    CBrivoxDoc m_document;
    QAction* m_closeAllChildren = nullptr;
};

} // namespace brivox
