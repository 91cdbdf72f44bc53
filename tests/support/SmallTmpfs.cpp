#include "support/SmallTmpfs.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace brivox::test {

CSmallTmpfs::CSmallTmpfs(size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    if (mount("tmpfs", m_folder.Root().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) !=
        0)
        m_why = std::string("mount: ") + std::strerror(errno);
}

CSmallTmpfs::~CSmallTmpfs() {
    if (Mounted())
        umount2(m_folder.Root().c_str(), MNT_DETACH);
}

void CSmallTmpfs::FillLeaving(size_t room) {
    struct statvfs disk {};
    if (statvfs(m_folder.Root().c_str(), &disk) != 0)
        return;
    const size_t free = static_cast<size_t>(disk.f_bavail) * disk.f_frsize;
    if (free <= room)
        return;
    const int fd = open(Path("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string block(free - room, 'f');
    [[maybe_unused]] const ssize_t written = write(fd, block.data(), block.size());
    close(fd);
}

} // namespace brivox::test
