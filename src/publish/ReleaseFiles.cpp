#include "publish/ReleaseFiles.h"

#include "platform/FileIO.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

namespace fs = std::filesystem;

bool CopyFileWhole(const std::string& source, const std::string& target) {
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat info {};
    CAtomicFileWriter writer;
    bool copied = fstat(in, &info) == 0 && S_ISREG(info.st_mode) &&
                  writer.Open(target) == FileWriteError::None &&
                  fchmod(writer.Descriptor(), info.st_mode & 07777) == 0;
    char buffer[1 << 16];
    for (ssize_t got; copied && (got = read(in, buffer, sizeof buffer)) != 0;)
        copied = got > 0 && WriteAll(writer.Descriptor(), buffer, static_cast<size_t>(got));
    close(in);
    return copied && writer.Commit() == FileWriteError::None;
}

std::string RemoveStagingFolder(const std::string& folder, const std::string& root) {
    std::error_code error;
    const fs::path canonicalRoot = fs::canonical(root, error);
    const fs::path canonicalFolder = error ? fs::path() : fs::canonical(folder, error);
    const fs::path relative = canonicalFolder.lexically_relative(canonicalRoot);
    const bool inside = !error && !relative.empty() && *relative.begin() != ".." && relative != ".";
    if (!inside)
        return folder + " is outside " + root + ": not deleted.";
    // remove_all takes links away as links: nothing they point at is touched.
    fs::remove_all(folder, error);
    return error ? folder + ": " + error.message() : "";
}

} // namespace brivox
