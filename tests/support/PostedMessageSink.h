#pragma once

#include "platform/PostedMessage.h"

#include <QCoreApplication>
#include <QObject>
#include <cstdint>
#include <thread>
#include <vector>

namespace brivox::test {

// A receiver that records the window messages posted to it, with the thread that handled each.
class CPostedMessageSink : public QObject {
public:
    struct Message {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
        std::thread::id handledOn;
    };

    const std::vector<Message>& Messages() const { return m_messages; }

    bool event(QEvent* event) override {
        if (event->type() != CPostedMessageEvent::EventType())
            return QObject::event(event);
        const auto* posted = static_cast<CPostedMessageEvent*>(event);
        m_messages.push_back(
            {posted->Message(), posted->WParam(), posted->LParam(), std::this_thread::get_id()});
        return true;
    }

private:
    std::vector<Message> m_messages;
};

} // namespace brivox::test
