#include "app/SessionHost.h"

#include "options/GlobalOptions.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"

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
    host->move(g_cascadeOrigin);
    host->show();
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
}

void FitWindowAroundForm(QWidget* window, const CSessionForm& form, int bottomMargin) {
    const QWidget* protocol = form.Control(idc::kProtocolGroup);
    const QWidget* banner = form.Control(idc::kBanner);
    const int right = protocol->mapToGlobal(QPoint(protocol->width(), 0)).x();
    const int bottom = banner->mapToGlobal(QPoint(0, banner->height())).y();
    const QRect frame = window->frameGeometry();
    // Qt sizes the client area; the frame adds its borders around it.
    const int width = right - frame.left() + 10 - (frame.width() - window->width());
    const int height = bottom - frame.top() + bottomMargin - (frame.height() - window->height());
    window->resize(width, height);
}

} // namespace brivox
