#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace brivox {

// How the records of an appended file are told apart: lines of a log, blocks of a capture.
struct CRecordFormat {
    struct CWhole {
        size_t bytes = 0;    // the whole records at the start
        int64_t counted = 0; // how many of them the failure message counts
    };
    const char* singular; // "line"
    const char* plural;   // "lines"
    // Of bytes that begin with a record: the whole records at their start.
    std::function<CWhole(std::string_view bytes)> whole;
};

// Lines, each ending in a line break.
CRecordFormat LineRecords();

// A file that records are appended to (a log, a capture), a batch of whole records with one
// write(2), so that a crash keeps every batch written before it whole. The first write that
// fails (a full disk, a quota, an I/O error) cuts the file back to its last whole record and ends
// the writing: no partial record is left for a later append to run on from, and Error says what
// was lost. A FIFO or a terminal is written into as a stream. Not for several threads at once.
class CAppendFile {
public:
    explicit CAppendFile(CRecordFormat format = LineRecords()) : m_format(std::move(format)) {}
    CAppendFile(const CAppendFile&) = delete;
    CAppendFile& operator=(const CAppendFile&) = delete;
    ~CAppendFile();

    // Creates the file when missing; an error text ("m.log: Permission denied").
    std::string Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }
    // Whether the file is a regular one (not a FIFO or a terminal).
    bool IsRegular() const { return m_regular; }

    // Whole records; false once the file has failed.
    bool Append(std::string_view records);
    bool Failed() const { return !m_error.empty(); }
    // Why the writing ended: "m.log: No space left on device: 227 lines written, the rest lost".
    const std::string& Error() const { return m_error; }
    int64_t RecordsWritten() const { return m_records; }

private:
    void Fail(int systemError, int64_t offset, std::string_view records, size_t written);

    const CRecordFormat m_format;
    int m_fd = -1;
    bool m_regular = false;
    std::string m_path;
    std::string m_error;
    int64_t m_records = 0;
};

} // namespace brivox
