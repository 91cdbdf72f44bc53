#include "serial/PortRelay.h"

#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QEvent>

namespace brivox {

namespace {

const QEvent::Type kNoticeEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class CNoticeEvent : public QEvent {
public:
    CNoticeEvent(uint64_t readerId, CPortReader::Notice notice)
        : QEvent(kNoticeEventType), readerId(readerId), notice(notice) {}

    const uint64_t readerId;
    const CPortReader::Notice notice;
};

} // namespace

void CPortRelay::Post(uint64_t readerId, CPortReader::Notice notice) {
    QCoreApplication::postEvent(this, new CNoticeEvent(readerId, notice));
}

bool CPortRelay::event(QEvent* event) {
    if (event->type() != kNoticeEventType)
        return QObject::event(event);
    const auto* notice = static_cast<const CNoticeEvent*>(event);
    m_port.HandleNotice(notice->readerId, notice->notice);
    return true;
}

} // namespace brivox
