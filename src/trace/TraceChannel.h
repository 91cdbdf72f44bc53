#pragma once

#include "trace/TraceSocket.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace brivox {

// A trace window's ear: listens at the trace window socket and hands each command to a callback
// on the thread that owns it, a bounded number per turn of the event loop so that a flood of
// commands never freezes the window.
class CTraceChannel : public QObject {
    Q_OBJECT

public:
    using CommandHandler = std::function<void(const std::string& command)>;

    static constexpr int kCommandsPerTurn = 64;

    explicit CTraceChannel(CommandHandler handler, QObject* parent = nullptr);
    ~CTraceChannel() override;

    // Error text, empty when listening.
    std::string Listen(const std::string& path);
    bool Listening() const { return m_socket.Descriptor() >= 0; }

private:
    void ReadCommands();

    CommandHandler m_handler;
    CTraceSocket m_socket;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace brivox
