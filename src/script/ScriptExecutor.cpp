#include "script/ScriptExecutor.h"

#include "options/OptionKeys.h"
#include "trace/TraceClient.h"

namespace brivox {

namespace {

RunOutcome CompareReply(const CJPItem& item, CScriptHost& host) {
    CScriptRunState& state = host.RunState();
    const int32_t count = item.bytes.GetLength();
    if (!state.WaitForResponse(count))
        return RunOutcome::Stopped;
    const std::vector<uint8_t> reply = state.ResponseBytes(count);
    // A byte that came with a line error is no good answer, whatever its value.
    const std::vector<bool> lineErrors = state.ResponseLineErrors(count);
    bool mismatch = false;
    for (int32_t j = 0; j < count; ++j) {
        if (!state.IsSending())
            return RunOutcome::Stopped;
        const bool same = reply[j] == item.bytes.ByteAt(j) && !lineErrors[j];
        mismatch |= !same;
        host.Report(reply[j], same ? ByteReport::Matched : ByteReport::Mismatch);
    }
    return mismatch ? RunOutcome::Mismatch : RunOutcome::Completed;
}

RunOutcome RunSendItem(const std::vector<CJPItem>& items, size_t index, CScriptHost& host,
                       bool postSent) {
    const bool nextIsExpect =
        index + 1 < items.size() && items[index + 1].kind == JPItemKind::Expect;
    const bool rts = host.ReadIntOption(opt::kRtsWhileSending, 0) != 0;
    if (rts)
        host.SetRts(true);
    TraceLine("JPExecute 4.0");
    const bool sent = SendItem(items[index], host, nextIsExpect, postSent);
    if (rts)
        host.SetRts(false);
    if (sent)
        return RunOutcome::Completed;
    return host.RunState().IsSending() ? RunOutcome::EmptySendItem : RunOutcome::Stopped;
}

} // namespace

RunOutcome JPExecute(const std::vector<CJPItem>& items, CScriptHost& host, bool postSent) {
    TraceLine("JPExecute 1.0");
    for (size_t i = 0; i < items.size(); ++i) {
        TraceLine("JPExecute 2.0");
        if (!host.RunState().IsSending())
            return RunOutcome::Stopped;
        TraceLine("JPExecute 3.0");
        RunOutcome outcome;
        if (items[i].kind == JPItemKind::Send) {
            outcome = RunSendItem(items, i, host, postSent);
        } else {
            TraceLine("JPExecute 5.0");
            outcome = CompareReply(items[i], host);
        }
        if (outcome != RunOutcome::Completed)
            return outcome;
    }
    return RunOutcome::Completed;
}

bool SendItem(const CJPItem& item, CScriptHost& host, bool nextIsExpect, bool postSent) {
    if (item.bytes.IsEmpty())
        return false;
    const std::vector<uint8_t> bytes = item.bytes.ToVector();
    CScriptRunState& state = host.RunState();
    for (size_t k = 0; k < bytes.size(); ++k) {
        if (!state.IsSending())
            return false;
        if (postSent)
            host.Report(bytes[k], ByteReport::Sent);
        if (k + 1 == bytes.size() && nextIsExpect)
            state.BeginCapture();
    }
    WriteBytes(host, bytes);
    return true;
}

bool WriteBytes(CScriptHost& host, const std::vector<uint8_t>& bytes) {
    const int32_t delay = host.ReadIntOption(opt::kByteDelay, 0);
    if (delay <= 0)
        return host.WriteToPort(bytes.data(), static_cast<int32_t>(bytes.size()));
    for (const uint8_t byte : bytes) {
        if (!host.WriteToPort(&byte, 1))
            return false;
        if (!host.RunState().SleepWhileSending(delay))
            return false;
    }
    return true;
}

} // namespace brivox
