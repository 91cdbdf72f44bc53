#pragma once

#include "platform/AppendFile.h"

#include <QTimer>
#include <functional>
#include <iosfwd>
#include <string>

namespace brivox::cli {

// Where the monitor's lines go: standard output and the log file, a batch at a time. Lines go
// out in batches kFlushMs apart at most: a fast bus then costs a write per batch, not per frame.
class CLineSink {
public:
    static constexpr int kFlushMs = 20;
    using Failure = std::function<void(const std::string& error)>;

    CLineSink(std::ostream& out, CAppendFile& log, Failure onLogFailure);

    void Add(const std::string& text);
    // Writes what is pending (a stop signal, the end).
    void Flush();

private:
    std::ostream& m_out;
    CAppendFile& m_log;
    const Failure m_onLogFailure;
    std::string m_pending;
    QTimer m_flush;
};

} // namespace brivox::cli
