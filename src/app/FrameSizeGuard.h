#pragma once

#include <QObject>
#include <QSize>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace brivox {

namespace x11 {
class CPropertyWatch;
}

// What the window manager's allowed actions say about hints that take away resizing.
enum class CResizeHintsVerdict {
    Pending, // the window manager still allows resizing: it has not read the hints (yet)
    Keep,    // resizing is gone and maximising stays
    Drop,    // maximising went with resizing: give resizing back and snap drags back instead
};
CResizeHintsVerdict JudgeAllowedActions(const std::vector<std::string>& actions);

// Keeps a window at its fitted size without taking maximise away. On X11 it asks the window
// manager to offer no resizing; where that would also remove maximise (openbox, for one), it
// leaves resizing on and, once a drag ends, snaps a changed normal size back to the fitted one.
// The window manager may settle its borders after the fit (after a restore, say): the fit is
// then made again.
class CFrameSizeGuard : public QObject {
public:
    CFrameSizeGuard(QWidget& window, std::function<void()> refit);
    ~CFrameSizeGuard() override;

    // After the window is shown: hints go to the window manager, its answer is watched. A
    // maximised window gets them when it is first restored: a window manager that takes away
    // maximise with resizing would also restore it.
    void Start();
    void OnStateChanged();
    // The size the window should keep while it is neither maximised nor minimised.
    void SetFittedSize(QSize size);
    QSize FittedSize() const { return m_fitted; }
    // Called on every resize of the window.
    void OnResized();
    // Asks for the fit once the window manager has settled (its borders, its state).
    void RefitSoon();

private:
    void TryHints();
    void OnPropertyChanged(const std::string& property);
    void OnAllowedActionsChanged();
    void Settle();

    QWidget& m_window;
    std::function<void()> m_refit;
    QSize m_fitted;
    bool m_started = false;
    bool m_hintsSent = false;
    bool m_decided = false;
    bool m_refitDue = false;
    QTimer m_snapTimer;
    std::unique_ptr<x11::CPropertyWatch> m_watch;
};

} // namespace brivox
