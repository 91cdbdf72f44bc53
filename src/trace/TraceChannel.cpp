#include "trace/TraceChannel.h"

#include <QSocketNotifier>
#include <utility>

namespace brivox {

CTraceChannel::CTraceChannel(CommandHandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

CTraceChannel::~CTraceChannel() = default;

std::string CTraceChannel::Listen(const std::string& path) {
    m_notifier.reset();
    std::string error = m_socket.Bind(path);
    if (!error.empty())
        return error;
    m_notifier = std::make_unique<QSocketNotifier>(m_socket.Descriptor(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CTraceChannel::ReadCommands);
    return "";
}

void CTraceChannel::ReadCommands() {
    std::string command;
    for (int count = 0; count < kCommandsPerTurn && m_socket.Receive(command); ++count)
        m_handler(command);
}

} // namespace brivox
