#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brivox {

enum class FileWriteError {
    None,
    Folder,     // the folder could not be created
    Create,     // the temporary file could not be created
    Write,      // writing, flushing or renaming failed; the old file is untouched
    NotRegular, // the path names a device, FIFO, socket or folder, which is never replaced
};

// Writes a file whole: a temporary file in the same folder, then a rename over the target, so a
// crash or a full disk never leaves a cut file. Missing folders of the path are created first,
// never those of a link's target. A path that is a symbolic link is written through to the file
// it names, as editors do; the new file keeps the old one's permissions, with read and write for
// its owner. Only a regular file, a missing one or a link is ever replaced.
class CAtomicFileWriter {
public:
    // Temporary files are named after the target with this and six random characters.
    static constexpr char kTemporaryInfix[] = ".brivox-tmp-";

    CAtomicFileWriter() = default;
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;
    ~CAtomicFileWriter(); // discards the temporary file unless committed

    FileWriteError Open(const std::string& path);
    int Descriptor() const { return m_fd; }
    // The file being replaced is first renamed to its name followed by the suffix (replacing an
    // older one of that name), which works without read rights on it.
    void KeepReplacedFileAs(const std::string& suffix) { m_keepSuffix = suffix; }
    FileWriteError Commit();
    // The system's error number behind the last failure, 0 when there was none.
    int SystemError() const { return m_systemError; }

    // The file a write of the path replaces: through symbolic links to the file they name when
    // that is a regular file or does not exist yet; otherwise the path itself, so that a link to
    // a device is replaced, never the device.
    static std::string WriteTarget(const std::string& path);

private:
    void Discard();

    std::string m_target;
    std::string m_temporary;
    std::string m_keepSuffix;
    int m_fd = -1;
    int m_systemError = 0;
};

// systemError, when given, receives the system's error number behind a failure.
FileWriteError WriteWholeFile(const std::string& path, std::string_view bytes,
                              int* systemError = nullptr);

// An output the user names (a report): a regular or missing file written whole, as
// WriteWholeFile does; a FIFO or a character device (/dev/stdout, a pipe) written into as a
// stream; anything else refused. An error text naming the path ("r.xml: No space left on
// device"), empty on success.
std::string WriteOutputFile(const std::string& path, std::string_view bytes);

// Whether the two paths name one file (the same inode), links followed.
bool IsSameFile(const std::string& first, const std::string& second);

// Removes the temporary files that writes of the path left when their process died: ours by
// name, held by no writer (a writer locks its file) and untouched for a minute.
void RemoveStaleTemporaries(const std::string& path);

// The largest file read whole; beyond it a file is taken for damaged, not read.
inline constexpr int64_t kMaxWholeFileSize = int64_t{64} << 20;

enum class FileReadError {
    None,
    Missing,    // no file of that name
    Unreadable, // no rights, or a read failed
    NotRegular, // a FIFO, a device, a folder: never read, so never waited on
    TooLarge,   // beyond the size limit
};

// Opens a regular file for reading, without blocking whatever the path names, when it holds at
// most maxSize bytes. The descriptor, or -1 with the error set.
int OpenRegularFile(const std::string& path, int64_t maxSize, FileReadError& error);
// The reason in words; TooLarge names the limit the reader applied.
std::string FileReadErrorText(FileReadError error, int64_t maxSize = kMaxWholeFileSize);

bool ReadWholeFile(const std::string& path, std::string& bytes);
// A text file of at most maxSize bytes, its body as TakeTextFileBody leaves it; error text.
std::string ReadTextFile(const std::string& path, int64_t maxSize, std::string& text);

// write() until every byte is out; false on any error other than EINTR.
bool WriteAll(int fd, const void* data, size_t size);

} // namespace brivox
