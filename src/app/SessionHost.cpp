#include "app/SessionHost.h"

#include "options/GlobalOptions.h"
#include "platform/X11Window.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"

#include <QWindow>
#include <set>

namespace brivox {

namespace {

constexpr int kCascadeStep = 20;
constexpr int kChildBottomMargin = 10;

std::set<CSessionHost*>& Registry() {
    static std::set<CSessionHost*> hosts;
    return hosts;
}

CSessionHost* g_mainHost = nullptr;
QPoint g_cascadeOrigin(-1, -1);

} // namespace

CSessionHost::CSessionHost(bool child, QWidget* parent) : QWidget(parent), m_child(child) {
    if (m_child)
        setAttribute(Qt::WA_DeleteOnClose);
    else
        g_mainHost = this;
    m_form = new CSessionForm(this);
    m_form->show();
}

CSessionHost::~CSessionHost() {
    if (m_child) {
        Registry().erase(this);
        return;
    }
    m_form->CollectControls();
    SettingsFileAt(SettingsFilePath()).Save(m_form->Binder());
    g_mainHost = nullptr;
}

CSessionHost* CSessionHost::AddChildSession() {
    auto* host = new CSessionHost(true, nullptr);
    g_cascadeOrigin += QPoint(kCascadeStep, kCascadeStep);
    host->m_framePosition = g_cascadeOrigin;
    host->move(g_cascadeOrigin);
    host->show();
    // An empty title is replaced by the application's name (Qt) or a placeholder such as
    // "Unnamed Window" (window managers); a single space shows as nothing.
    x11::SetTitleProperties(host, " ");
    Registry().insert(host);
    return host;
}

void CSessionHost::DestroyAllChildSessions() {
    // Each host leaves the registry as it goes, so walk a copy.
    const std::set<CSessionHost*> hosts = Registry();
    for (CSessionHost* host : hosts)
        delete host;
}

bool CSessionHost::HasChildSessions() {
    return !Registry().empty();
}

int CSessionHost::ChildSessionCount() {
    return static_cast<int>(Registry().size());
}

CSessionHost* CSessionHost::MainHost() {
    return g_mainHost;
}

int CSessionHost::DefaultPortIndex() {
    std::set<int> taken;
    auto note = [&taken](const CSessionHost* host) {
        if (host != nullptr && host->Form() != nullptr && host->Form()->IsPortOpen())
            taken.insert(host->Form()->OpenPortNumber());
    };
    note(g_mainHost);
    for (const CSessionHost* host : Registry())
        note(host);
    for (int index = 0; index < 4; ++index) {
        if (!taken.contains(index + 1))
            return index;
    }
    return 4;
}

void CSessionHost::ResetCascadeOrigin(QPoint origin) {
    g_cascadeOrigin = origin;
}

void CSessionHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_form != nullptr)
        m_form->setGeometry(0, 0, width(), height());
}

void CSessionHost::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_child || !m_firstPaint)
        return;
    m_firstPaint = false;
    FitWindowAroundForm(this, *m_form, kChildBottomMargin);
    // Placed before it had a frame, the window may have its client area where its frame belongs.
    MoveFrameTo(this, m_framePosition);
}

void FitWindowAroundForm(QWidget* window, const CSessionForm& form, int bottomMargin) {
    const QWidget* protocol = form.Control(idc::kProtocolGroup);
    const QWidget* banner = form.Control(idc::kBanner);
    const int right = protocol->mapToGlobal(QPoint(protocol->width(), 0)).x();
    const int bottom = banner->mapToGlobal(QPoint(0, banner->height())).y();
    // Qt sizes the client area; the frame's right and bottom borders come around it.
    const QPoint client = window->mapToGlobal(QPoint(0, 0));
    const QMargins frame = FrameMargins(window);
    window->resize(right - client.x() + 10 - frame.right(),
                   bottom - client.y() + bottomMargin - frame.bottom());
}

void MoveFrameTo(QWidget* window, QPoint frameTopLeft) {
    const QMargins frame = FrameMargins(window);
    if (QWindow* handle = window->windowHandle())
        handle->setPosition(frameTopLeft + QPoint(frame.left(), frame.top()));
}

QMargins FrameMargins(const QWidget* window) {
    // The window manager's word; Qt may still be guessing when the window first paints.
    if (const std::optional<QMargins> extents = x11::FrameExtents(window))
        return *extents;
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

} // namespace brivox
