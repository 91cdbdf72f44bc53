#include "capture/ReplyPairing.h"

#include <algorithm>

namespace brivox {

namespace {

constexpr int kExceptionFlag = 0x80;

} // namespace

CReplyPairing::CPair CReplyPairing::Note(const std::string& port, const CLineFrame& frame,
                                         const CModbusFrameInfo& info) {
    using Kind = CModbusFrameInfo::Kind;
    if (info.kind == Kind::Request) {
        m_waiting = true;
        m_requestPort = port;
        m_requestEndUs = frame.endUs;
        m_slave = info.slave;
        m_function = info.function;
        return {};
    }
    const bool answers = m_waiting && (info.kind == Kind::Reply || info.kind == Kind::Exception) &&
                         info.slave == m_slave && (info.function & ~kExceptionFlag) == m_function;
    if (!answers)
        return {};
    m_waiting = false;
    const int64_t replyUs = std::max<int64_t>(0, frame.startUs - m_requestEndUs);
    ++m_pairs;
    m_shortestUs = m_shortestUs < 0 ? replyUs : std::min(m_shortestUs, replyUs);
    m_longestUs = std::max(m_longestUs, replyUs);
    return {replyUs, m_requestPort};
}

} // namespace brivox
