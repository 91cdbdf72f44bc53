#include "cli/LineSink.h"

#include <ostream>

namespace brivox::cli {

CLineSink::CLineSink(std::ostream& out, CAppendFile& log, Failure onLogFailure)
    : m_out(out), m_log(log), m_onLogFailure(std::move(onLogFailure)) {
    m_flush.setSingleShot(true);
    QObject::connect(&m_flush, &QTimer::timeout, [this] { Flush(); });
}

void CLineSink::Add(const std::string& text) {
    m_pending += text;
    if (!m_flush.isActive())
        m_flush.start(kFlushMs);
}

void CLineSink::Flush() {
    if (m_pending.empty())
        return;
    m_out << m_pending << std::flush;
    if (m_log.IsOpen() && !m_log.Append(m_pending))
        m_onLogFailure(m_log.Error());
    m_pending.clear();
}

} // namespace brivox::cli
