#pragma once

#include <QEvent>
#include <cstdint>

class QObject;

namespace brivox {

// A window message posted to a receiver on its own thread: (message, wParam, lParam), the way the
// program's workers report to windows. Every such message travels as this one event type, so
// messages posted to one receiver arrive in the order they were posted.
class CPostedMessageEvent : public QEvent {
public:
    CPostedMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // The event type every posted message carries (registered once per process).
    static QEvent::Type EventType();

    uint32_t Message() const { return m_message; }
    uintptr_t WParam() const { return m_wParam; }
    intptr_t LParam() const { return m_lParam; }

private:
    uint32_t m_message;
    uintptr_t m_wParam;
    intptr_t m_lParam;
};

// Queues the message for the receiver's thread and returns at once; callable from any thread.
// The receiver handles it in event() or customEvent(). False (and nothing posted) for a null
// receiver. The receiver must outlive the call; messages still queued when it is destroyed are
// dropped with it.
bool PostWindowMessage(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The same message handled at once, on the calling thread, which must be the receiver's.
bool SendWindowMessage(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam);

} // namespace brivox
