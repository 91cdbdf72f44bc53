#pragma once

#include "script/JPItem.h"
#include "script/ScriptHost.h"

#include <vector>

namespace brivox {

enum class RunOutcome {
    Completed,     // every item ran and every reply matched
    Mismatch,      // a reply byte differed; the rest of the list did not run
    Stopped,       // the sending flag was cleared
    EmptySendItem, // a send item held no bytes
};

// Runs a compiled script on the calling (worker) thread: writes each send item, waits for each
// expect item's bytes and compares them, reporting every byte. The items are a copy taken when
// the run was started, so the session may compile again while the run goes on.
RunOutcome JPExecute(const std::vector<CJPItem>& items, CScriptHost& host, bool postSent);

// The send step of one item: reports every byte, then writes them all; when a reply is expected
// next, the response buffer is emptied before the bytes leave. False when empty or stopped.
bool SendItem(const CJPItem& item, CScriptHost& host, bool nextIsExpect, bool postSent);

// The paced write: one write when "GOPT.sdsdelay" is 0, else byte by byte with that many
// milliseconds after each. Stops early when the sending flag is cleared.
bool WriteBytes(CScriptHost& host, const std::vector<uint8_t>& bytes);

} // namespace brivox
