#pragma once

#include <string>
#include <string_view>

namespace brivox {

enum class FileWriteError {
    None,
    Folder, // the folder could not be created
    Create, // the temporary file could not be created
    Write,  // writing, flushing or renaming failed; the old file is untouched
};

// Writes a file whole: a temporary file in the same folder, then a rename over the target, so a
// crash or a full disk never leaves a cut file. Missing folders are created first.
class CAtomicFileWriter {
public:
    CAtomicFileWriter() = default;
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;
    ~CAtomicFileWriter(); // discards the temporary file unless committed

    FileWriteError Open(const std::string& path);
    int Descriptor() const { return m_fd; }
    FileWriteError Commit();

private:
    void Discard();

    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
};

FileWriteError WriteWholeFile(const std::string& path, std::string_view bytes);
bool ReadWholeFile(const std::string& path, std::string& bytes);

// write() until every byte is out; false on any error other than EINTR.
bool WriteAll(int fd, const void* data, size_t size);

} // namespace brivox
