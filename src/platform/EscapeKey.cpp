#include "platform/EscapeKey.h"

#include <QApplication>
#include <QKeyEvent>

namespace brivox {

namespace {

class CEscapeTracker : public QObject {
public:
    bool held = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && !key->isAutoRepeat())
                held = event->type() == QEvent::KeyPress;
            break;
        }
        case QEvent::ApplicationDeactivate:
            held = false;
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

CEscapeTracker& Tracker() {
    static CEscapeTracker* tracker = [] {
        auto* filter = new CEscapeTracker;
        filter->setParent(qApp);
        qApp->installEventFilter(filter);
        return filter;
    }();
    return *tracker;
}

} // namespace

void TrackEscapeKey() {
    Tracker();
}

bool IsEscapeHeldDown() {
    return Tracker().held;
}

} // namespace brivox
