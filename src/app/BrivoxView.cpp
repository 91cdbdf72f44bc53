#include "app/BrivoxView.h"

#include "app/SessionHost.h"

namespace brivox {

CBrivoxView::CBrivoxView(QWidget* frame) : QWidget(frame) {}

// The main host goes first, while the view is still whole: it saves the settings.
CBrivoxView::~CBrivoxView() {
    delete m_host;
}

void CBrivoxView::OnInitialUpdate() {
    if (m_host == nullptr)
        m_host = new CSessionHost(false, this);
    const QSize frameSize = window()->frameGeometry().size();
    m_host->setGeometry(0, 0, frameSize.width(), frameSize.height());
    m_host->show();
}

void CBrivoxView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_host != nullptr)
        m_host->setGeometry(0, 0, width(), height());
}

} // namespace brivox
