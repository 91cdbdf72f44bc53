#include "platform/FileIO.h"

#include "platform/Paths.h"
#include "util/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

namespace {

constexpr int kMaxLinkHops = 40; // as the kernel's limit on nested links
constexpr time_t kStaleAfterSeconds = 60;
constexpr size_t kRandomPartLength = 6; // mkstemp's XXXXXX

std::string ReadLinkText(const std::string& path) {
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer - 1);
    return length <= 0 ? "" : std::string(buffer, static_cast<size_t>(length));
}

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

std::string Beside(const std::string& path, const std::string& name) {
    const std::string folder = FolderOf(path);
    return folder.empty() ? name : (folder == "/" ? "" : folder) + "/" + name;
}

// The new file's permissions: the old regular file's, with read and write for its owner, so that
// a file saved once never fails to load for its rights.
mode_t ModeFor(const std::string& target) {
    struct stat old {};
    if (lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        return (old.st_mode & 07777) | S_IRUSR | S_IWUSR;
    return 0644;
}

bool IsOurTemporaryName(const std::string& entry, const std::string& prefix) {
    return entry.size() == prefix.size() + kRandomPartLength &&
           entry.compare(0, prefix.size(), prefix) == 0;
}

// Old, ours, and no live writer holds its lock (one that cannot even be opened has no writer
// either: writers keep their files readable).
bool IsStale(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
        time(nullptr) - info.st_mtime < kStaleAfterSeconds)
        return false;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES;
    const bool unlocked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return unlocked;
}

} // namespace

CAtomicFileWriter::~CAtomicFileWriter() {
    Discard();
}

std::string CAtomicFileWriter::WriteTarget(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(current.c_str(), &info) != 0)
            return current; // a file still to be made, or a link to one
        if (!S_ISLNK(info.st_mode))
            return S_ISREG(info.st_mode) ? current : path;
        const std::string next = ReadLinkText(current);
        if (next.empty())
            return path;
        current = next[0] == '/' ? next : Beside(current, next);
    }
    return path;
}

FileWriteError CAtomicFileWriter::Open(const std::string& path) {
    Discard();
    m_systemError = 0;
    m_target = WriteTarget(path);
    struct stat existing {};
    if (lstat(m_target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISLNK(existing.st_mode))
        return FileWriteError::NotRegular;
    // A link's target folder is the link's business: a dangling one makes no folders.
    if (!MakeSurePathExists(FolderOf(path))) {
        m_systemError = errno;
        return FileWriteError::Folder;
    }
    m_temporary = m_target + kTemporaryInfix + "XXXXXX";
    m_fd = mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_systemError = errno;
        m_temporary.clear();
        return FileWriteError::Create;
    }
    // The lock tells the stale-file sweep of another start that this file is in use.
    flock(m_fd, LOCK_EX);
    fchmod(m_fd, ModeFor(m_target));
    return FileWriteError::None;
}

FileWriteError CAtomicFileWriter::Commit() {
    if (m_fd < 0)
        return FileWriteError::Create;
    const bool flushed = fsync(m_fd) == 0;
    m_systemError = flushed ? 0 : errno;
    const bool closed = close(m_fd) == 0;
    if (flushed && !closed)
        m_systemError = errno;
    m_fd = -1;
    if (flushed && closed && !m_keepSuffix.empty())
        rename(m_target.c_str(), (m_target + m_keepSuffix).c_str());
    if (!flushed || !closed || rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        if (m_systemError == 0)
            m_systemError = errno;
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

FileWriteError WriteWholeFile(const std::string& path, std::string_view bytes, int* systemError) {
    CAtomicFileWriter writer;
    FileWriteError error = writer.Open(path);
    int cause = writer.SystemError();
    if (error == FileWriteError::None &&
        !WriteAll(writer.Descriptor(), bytes.data(), bytes.size())) {
        error = FileWriteError::Write;
        cause = errno;
    } else if (error == FileWriteError::None) {
        error = writer.Commit();
        cause = writer.SystemError();
    }
    if (systemError != nullptr)
        *systemError = cause;
    return error;
}

namespace {

// Into a FIFO or a character device, which is never replaced; error text.
std::string WriteStream(const std::string& path, std::string_view bytes) {
    // O_NONBLOCK: a FIFO that nobody reads is refused at once instead of waited on.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return path + ": " + (errno == ENXIO ? "a FIFO that no program reads" : strerror(errno));
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const bool written = WriteAll(fd, bytes.data(), bytes.size());
    const int cause = errno;
    close(fd);
    return written ? "" : path + ": " + strerror(cause);
}

} // namespace

std::string WriteOutputFile(const std::string& path, std::string_view bytes) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)))
        return WriteStream(path, bytes);
    int cause = 0;
    const FileWriteError error = WriteWholeFile(path, bytes, &cause);
    if (error == FileWriteError::None)
        return "";
    if (error == FileWriteError::NotRegular || cause == 0)
        return path + ": not a file that can be written";
    return path + ": " + strerror(cause);
}

bool IsSameFile(const std::string& first, const std::string& second) {
    struct stat one {
    }, other{};
    return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::string target = CAtomicFileWriter::WriteTarget(path);
    const std::string prefix = BaseName(target) + CAtomicFileWriter::kTemporaryInfix;
    const std::string folder = FolderOf(target);
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::string candidate = Beside(target, entry->d_name);
        if (IsOurTemporaryName(entry->d_name, prefix) && IsStale(candidate))
            unlink(candidate.c_str());
    }
    closedir(dir);
}

int OpenRegularFile(const std::string& path, int64_t maxSize, FileReadError& error) {
    // O_NONBLOCK: opening a FIFO without a writer would wait for one.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENOENT ? FileReadError::Missing : FileReadError::Unreadable;
        return -1;
    }
    struct stat info {};
    error = fstat(fd, &info) != 0    ? FileReadError::Unreadable
            : !S_ISREG(info.st_mode) ? FileReadError::NotRegular
            : info.st_size > maxSize ? FileReadError::TooLarge
                                     : FileReadError::None;
    if (error != FileReadError::None) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string FileReadErrorText(FileReadError error, int64_t maxSize) {
    switch (error) {
    case FileReadError::None:
        return "";
    case FileReadError::Missing:
        return "no such file";
    case FileReadError::Unreadable:
        return "the file cannot be read";
    case FileReadError::NotRegular:
        return "not a regular file";
    case FileReadError::TooLarge:
        return "larger than " + std::to_string(maxSize >> 20) + " MiB";
    }
    return "";
}

std::string ReadTextFile(const std::string& path, int64_t maxSize, std::string& text) {
    FileReadError error = FileReadError::None;
    const int fd = OpenRegularFile(path, maxSize, error);
    if (fd < 0)
        return FileReadErrorText(error, maxSize);
    close(fd);
    if (!ReadWholeFile(path, text))
        return FileReadErrorText(FileReadError::Unreadable);
    return TakeTextFileBody(text);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    FileReadError error;
    const int fd = OpenRegularFile(path, kMaxWholeFileSize, error);
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
