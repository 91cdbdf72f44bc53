#pragma once

#include "script/ScriptRunState.h"

#include <cstdint>
#include <string>

namespace brivox {

// How a byte of a run is reported to the session (the TX&RX list's kinds).
enum class ByteReport : int { Mismatch = 0, Sent = 1, Matched = 2 };

// What a script run needs from the session that starts it. Called from the run's worker thread.
class CScriptHost {
public:
    virtual ~CScriptHost() = default;

    // Thread-safe read of an integer option of the session.
    virtual int32_t ReadIntOption(const std::string& name, int32_t fallback) = 0;
    // One write of the bytes to the port; false when they could not all be written.
    virtual bool WriteToPort(const uint8_t* data, int32_t count) = 0;
    // Lowering waits until what was written has left the line, so that a two-wire RS-485
    // transmitter is not switched off under the last character.
    virtual void SetRts(bool raised) = 0;
    // Reports must reach the session in the order they are made.
    virtual void Report(uint8_t byte, ByteReport kind) = 0;
    virtual CScriptRunState& RunState() = 0;
};

} // namespace brivox
