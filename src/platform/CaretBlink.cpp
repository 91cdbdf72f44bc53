#include "platform/CaretBlink.h"

#include <QApplication>
#include <QEvent>

namespace brivox {

CCaretBlink::CCaretBlink(int timeoutMs) : m_flashMs(QApplication::cursorFlashTime()) {
    m_idle.setSingleShot(true);
    m_idle.setInterval(timeoutMs);
    connect(&m_idle, &QTimer::timeout, this, [this] { SetBlinking(false); });
    m_idle.start();
    qApp->installEventFilter(this);
}

CCaretBlink::~CCaretBlink() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
        SetBlinking(true);
    }
}

bool CCaretBlink::Blinking() const {
    return QApplication::cursorFlashTime() != 0;
}

bool CCaretBlink::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
        SetBlinking(true);
        m_idle.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CCaretBlink::SetBlinking(bool on) {
    const int flashMs = on ? m_flashMs : 0;
    if (QApplication::cursorFlashTime() != flashMs)
        QApplication::setCursorFlashTime(flashMs);
}

} // namespace brivox
