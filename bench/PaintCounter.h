#pragma once

#include <QEvent>
#include <QObject>

namespace brivox::bench {

// Counts the paint events of the widget it filters.
class CPaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace brivox::bench
