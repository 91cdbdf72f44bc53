#include "app/FrameSizeGuard.h"

#include "platform/X11Window.h"

#include <QWidget>
#include <algorithm>
#include <utility>

namespace brivox {

namespace {

// A drag is over when no button has been held for this long.
constexpr int kSnapDelayMs = 250;

constexpr Qt::WindowStates kSpecialStates =
    Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen;

bool Has(const std::vector<std::string>& actions, const char* action) {
    return std::find(actions.begin(), actions.end(), action) != actions.end();
}

} // namespace

CResizeHintsVerdict JudgeAllowedActions(const std::vector<std::string>& actions) {
    if (actions.empty() || Has(actions, "_NET_WM_ACTION_RESIZE"))
        return CResizeHintsVerdict::Pending;
    if (Has(actions, "_NET_WM_ACTION_MAXIMIZE_HORZ") &&
        Has(actions, "_NET_WM_ACTION_MAXIMIZE_VERT"))
        return CResizeHintsVerdict::Keep;
    return CResizeHintsVerdict::Drop;
}

CFrameSizeGuard::CFrameSizeGuard(QWidget& window, std::function<void()> refit)
    : m_window(window), m_refit(std::move(refit)) {
    m_snapTimer.setSingleShot(true);
    m_snapTimer.setInterval(kSnapDelayMs);
    connect(&m_snapTimer, &QTimer::timeout, this, [this] { Settle(); });
}

CFrameSizeGuard::~CFrameSizeGuard() = default;

void CFrameSizeGuard::Start() {
    if (!x11::Available() || m_started)
        return;
    m_started = true;
    m_watch = std::make_unique<x11::CPropertyWatch>(
        std::vector<std::string>{"_NET_WM_ALLOWED_ACTIONS", "_NET_FRAME_EXTENTS"},
        [this](unsigned window, const std::string& property) {
            if (window == x11::WindowId(&m_window))
                OnPropertyChanged(property);
        });
    TryHints();
}

void CFrameSizeGuard::OnStateChanged() {
    TryHints();
    if (m_refitDue)
        m_snapTimer.start();
}

void CFrameSizeGuard::TryHints() {
    if (!m_started || m_hintsSent || (m_window.windowState() & kSpecialStates))
        return;
    m_hintsSent = true;
    x11::SetMotifHints(&m_window, false);
}

void CFrameSizeGuard::OnPropertyChanged(const std::string& property) {
    if (property == "_NET_WM_ALLOWED_ACTIONS")
        OnAllowedActionsChanged();
    else
        RefitSoon();
}

// The fit depends on the borders. Settled later: the window manager may announce a state
// change only after the borders, and the window may be maximised by then.
void CFrameSizeGuard::RefitSoon() {
    m_refitDue = true;
    m_snapTimer.start();
}

void CFrameSizeGuard::OnAllowedActionsChanged() {
    if (!m_hintsSent || m_decided)
        return;
    switch (JudgeAllowedActions(x11::AllowedActions(&m_window))) {
    case CResizeHintsVerdict::Pending:
        return;
    case CResizeHintsVerdict::Keep:
        m_decided = true;
        return;
    case CResizeHintsVerdict::Drop:
        m_decided = true;
        x11::SetMotifHints(&m_window, true);
        return;
    }
}

void CFrameSizeGuard::SetFittedSize(QSize size) {
    m_fitted = size;
}

void CFrameSizeGuard::OnResized() {
    if (m_fitted.isValid() || m_refitDue)
        m_snapTimer.start();
}

void CFrameSizeGuard::Settle() {
    if (m_window.windowState() & kSpecialStates)
        return;
    if (x11::PointerButtonHeld()) {
        m_snapTimer.start(); // still dragging
        return;
    }
    if (std::exchange(m_refitDue, false))
        m_refit();
    else if (m_fitted.isValid() && m_window.size() != m_fitted)
        m_window.resize(m_fitted);
}

} // namespace brivox
