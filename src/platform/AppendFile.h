#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brivox {

// A file that lines are appended to (a log, a capture), a batch of whole lines with one
// write(2), so that a crash keeps every batch written before it whole. The first write that
// fails (a full disk, a quota, an I/O error) cuts the file back to its last whole line and ends
// the writing: no partial line is left for a later append to run on from, and Error says what
// was lost. A FIFO or a terminal is written into as a stream. Not for several threads at once.
class CAppendFile {
public:
    CAppendFile() = default;
    CAppendFile(const CAppendFile&) = delete;
    CAppendFile& operator=(const CAppendFile&) = delete;
    ~CAppendFile();

    // Creates the file when missing; an error text ("m.log: Permission denied").
    std::string Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // Whole lines, each ending in a line break; false once the file has failed.
    bool Append(std::string_view lines);
    bool Failed() const { return !m_error.empty(); }
    // Why the writing ended: "m.log: No space left on device: 227 lines written, the rest lost".
    const std::string& Error() const { return m_error; }
    int64_t LinesWritten() const { return m_lines; }

private:
    void Fail(int systemError, int64_t offset, std::string_view lines, size_t written);

    int m_fd = -1;
    bool m_regular = false;
    std::string m_path;
    std::string m_error;
    int64_t m_lines = 0;
};

} // namespace brivox
