#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace brivox {

// Where a port keeps everything it sends and receives: a text log or a packet capture. Any
// thread may add bytes; a write that fails ends the capture and calls the failure hook once.
class CCaptureSink {
public:
    enum class Direction { Tx, Rx };
    // The clock of the port's arrival times.
    using Clock = std::chrono::steady_clock;
    // Called once, on the thread whose write failed, with the file's error: it must only post,
    // not wait.
    using FailureHook = std::function<void(const std::string& error)>;

    virtual ~CCaptureSink() = default;

    virtual const std::string& Path() const = 0;
    virtual void SetFailureHook(FailureHook hook) = 0;
    // marks: a LineMark a byte, or null.
    virtual void Add(Direction direction, const uint8_t* bytes, const uint8_t* marks, int count,
                     Clock::time_point when) = 0;
    // An event of the port ("device lost: ...").
    virtual void AddNote(const std::string& text, Clock::time_point when) = 0;
    // Why the capture stopped writing; empty while it writes.
    virtual std::string Error() const = 0;
};

} // namespace brivox
