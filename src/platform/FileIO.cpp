#include "platform/FileIO.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

CAtomicFileWriter::~CAtomicFileWriter() {
    Discard();
}

FileWriteError CAtomicFileWriter::Open(const std::string& path) {
    Discard();
    if (!MakeSurePathExists(FolderOf(path)))
        return FileWriteError::Folder;
    m_target = path;
    m_temporary = path + ".XXXXXX";
    m_fd = mkstemp(m_temporary.data());
    if (m_fd < 0) {
        m_temporary.clear();
        return FileWriteError::Create;
    }
    // Keep the old file's permissions; a new file is readable by others, as an ordinary create.
    struct stat old {};
    fchmod(m_fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    return FileWriteError::None;
}

FileWriteError CAtomicFileWriter::Commit() {
    if (m_fd < 0)
        return FileWriteError::Create;
    const bool flushed = fsync(m_fd) == 0;
    const bool closed = close(m_fd) == 0;
    m_fd = -1;
    if (!flushed || !closed || rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        Discard();
        return FileWriteError::Write;
    }
    m_temporary.clear();
    return FileWriteError::None;
}

void CAtomicFileWriter::Discard() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        unlink(m_temporary.c_str());
    m_temporary.clear();
}

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

FileWriteError WriteWholeFile(const std::string& path, std::string_view bytes) {
    CAtomicFileWriter writer;
    if (const FileWriteError error = writer.Open(path); error != FileWriteError::None)
        return error;
    if (!WriteAll(writer.Descriptor(), bytes.data(), bytes.size()))
        return FileWriteError::Write;
    return writer.Commit();
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string content;
    char chunk[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        content.append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    if (ok)
        bytes = std::move(content);
    return ok;
}

} // namespace brivox
