#include "trace/OwnTraceWindow.h"

#include "platform/MessageBox.h"
#include "trace/XTraceWindow.h"

#include <QApplication>

namespace brivox {

COwnTraceWindow::COwnTraceWindow() {
    SetTraceWindowOwner(this);
}

COwnTraceWindow::~COwnTraceWindow() {
    SetTraceWindowOwner(nullptr);
    delete m_window.data();
}

bool COwnTraceWindow::CreateTraceWindow() {
    if (m_window != nullptr)
        return true;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        ShowMessage(kCreateFailed, "", kMbOk);
        return false;
    }
    m_window = new CXTraceWindow();
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->MoveTo(OwnTraceWindowRect());
    m_window->show();
    m_window->setWindowTitle(QString::fromLatin1(CXTraceWindow::kTitle));
    return true;
}

CXTraceWindow* COwnTraceWindow::Window() const {
    return m_window;
}

void COwnTraceWindow::DeliverToTraceWindow(const std::string& command) {
    if (m_window != nullptr && m_window->isVisible())
        m_window->Execute(command);
}

} // namespace brivox
