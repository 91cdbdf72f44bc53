#include "platform/AppendFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

namespace {

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

} // namespace

CRecordFormat LineRecords() {
    return {"line", "lines", [](std::string_view bytes) {
                const size_t lastBreak = bytes.rfind('\n');
                const size_t whole = lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
                return CRecordFormat::CWhole{
                    whole,
                    std::count(bytes.begin(), bytes.begin() + static_cast<long>(whole), '\n')};
            }};
}

CAppendFile::~CAppendFile() {
    if (m_fd >= 0)
        close(m_fd);
}

std::string CAppendFile::Open(const std::string& path) {
    // O_NONBLOCK: a FIFO that nobody reads is refused at once instead of waited on.
    const int fd =
        open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0)
        return path + ": " +
               (errno == ENXIO ? "a FIFO that no program reads" : SystemErrorText(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || S_ISSOCK(info.st_mode)) {
        close(fd);
        return path + ": not a file to write into";
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
    m_regular = S_ISREG(info.st_mode);
    m_path = path;
    m_error.clear();
    m_records = 0;
    return "";
}

bool CAppendFile::Append(std::string_view records) {
    if (m_fd < 0 || Failed())
        return false;
    const off_t offset = m_regular ? lseek(m_fd, 0, SEEK_END) : 0;
    size_t written = 0;
    while (written < records.size()) {
        const ssize_t got = write(m_fd, records.data() + written, records.size() - written);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            Fail(got < 0 ? errno : ENOSPC, offset, records, written);
            return false;
        }
        written += static_cast<size_t>(got);
    }
    m_records += m_format.whole(records).counted;
    return true;
}

void CAppendFile::Fail(int systemError, int64_t offset, std::string_view records, size_t written) {
    const CRecordFormat::CWhole whole = m_format.whole(records.substr(0, written));
    if (m_regular && whole.bytes < written) {
        [[maybe_unused]] const int cut = ftruncate(m_fd, static_cast<off_t>(offset + whole.bytes));
    }
    m_records += whole.counted;
    m_error = m_path + ": " + SystemErrorText(systemError) + ": " + std::to_string(m_records) +
              " " + (m_records == 1 ? m_format.singular : m_format.plural) +
              " written, the rest lost";
    close(m_fd);
    m_fd = -1;
}

} // namespace brivox
