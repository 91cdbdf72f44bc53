#include "platform/PostedMessage.h"

#include <QCoreApplication>
#include <QObject>

namespace brivox {

CPostedMessageEvent::CPostedMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam)
    : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam) {}

QEvent::Type CPostedMessageEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool PostWindowMessage(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (receiver == nullptr)
        return false;
    QCoreApplication::postEvent(receiver, new CPostedMessageEvent(message, wParam, lParam));
    return true;
}

bool SendWindowMessage(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (receiver == nullptr)
        return false;
    CPostedMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(receiver, &event);
    return true;
}

} // namespace brivox
