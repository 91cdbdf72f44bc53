#pragma once

#include "support/TempFolder.h"

#include <cstddef>
#include <string>

namespace brivox::test {

// A tmpfs of a few kilobytes mounted in a fresh folder while it lives: a real full disk, whose
// writes fail with ENOSPC. Mounting needs root (CAP_SYS_ADMIN); where it cannot mount, Mounted is
// false and Why says why, for the test's skip line.
class CSmallTmpfs {
public:
    explicit CSmallTmpfs(size_t bytes);
    ~CSmallTmpfs();
    CSmallTmpfs(const CSmallTmpfs&) = delete;
    CSmallTmpfs& operator=(const CSmallTmpfs&) = delete;

    bool Mounted() const { return m_why.empty(); }
    const std::string& Why() const { return m_why; }
    std::string Path(const std::string& name) const { return m_folder.Path(name); }
    // Fills the disk with a file of its own until fewer than room bytes are free.
    void FillLeaving(size_t room);

private:
    CTempFolder m_folder;
    std::string m_why;
};

} // namespace brivox::test
