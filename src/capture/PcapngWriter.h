#pragma once

#include "capture/PcapngBlock.h"
#include "platform/AppendFile.h"
#include "util/WallClock.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace brivox {

// A pcapng file that the bytes of serial ports are appended to: an interface per port and
// direction ("COM5 rx", made at its first packet), timestamps in microseconds of the wall clock
// given. Each block goes with one write(2), so that a file cut by a crash holds every block
// before the cut whole; a write that fails cuts the file back to its last whole block, ends
// the writing and calls the failure hook once (see CAppendFile). A capture of an earlier run is
// appended to as a section of its own, after its last whole block. Any thread may write.
class CPcapngWriter {
public:
    using FailureHook = std::function<void(const std::string& error)>;

    explicit CPcapngWriter(CWallClock clock = CWallClock::Now())
        : m_clock(clock), m_file(PcapngRecords()) {}
    CPcapngWriter(const CPcapngWriter&) = delete;
    CPcapngWriter& operator=(const CPcapngWriter&) = delete;

    // Creates the file or appends to a pcapng capture; an error text.
    std::string Open(const std::string& path);
    const std::string& Path() const { return m_path; }
    const CWallClock& Clock() const { return m_clock; }
    void SetFailureHook(FailureHook hook);

    struct CBytes {
        const uint8_t* bytes = nullptr;
        const uint8_t* marks = nullptr; // a LineMark a byte, or null
        size_t count = 0;
    };
    // One packet on the port's interface of that direction, at a moment of the steady clock;
    // a note becomes its comment. False once the file has failed.
    bool Write(const std::string& port, PacketDirection direction, int64_t steadyUs,
               const CBytes& bytes, const std::string& note = "");
    // Why the writing ended; empty while it writes.
    std::string Error() const;

private:
    // The interface's id in the section, its block written at its first use; -1 on failure.
    int64_t InterfaceOf(const std::string& port, PacketDirection direction);
    bool Append(const std::string& block);

    const CWallClock m_clock;
    mutable std::mutex m_mutex;
    CAppendFile m_file;
    std::string m_path;
    std::map<std::pair<std::string, PacketDirection>, uint32_t> m_interfaces;
    FailureHook m_onFailure;
};

// Where the writing of an existing file at path may begin: its size, or the end of its last
// whole block when it ends in a cut one (which the caller cuts away); an error text for a file
// that is no pcapng capture or is damaged before its end. 0 for a missing or empty file.
std::string PcapngAppendPoint(const std::string& path, uint64_t& wholeBytes);

} // namespace brivox
