#pragma once

#include "options/OptionStore.h"

#include <string>

namespace brivox {

// A settings file across a run: merged over the defaults at start-up, saved when the main
// session ends. A file that did not load whole (unreadable, cut, damaged, no regular file) is
// kept beside as <name>.damaged when the first save replaces it, so that no value is lost
// without a trace; a later damaged file replaces that copy.
class CSettingsFile {
public:
    static constexpr char kDamagedSuffix[] = ".damaged";

    explicit CSettingsFile(std::string path) : m_path(std::move(path)) {}

    // Removes what interrupted saves left, then loads the file over the store (keep set).
    COptionLoadReport Load(COptionStore& store);
    // Written whole; false when the file could not be written, which leaves it as it was.
    bool Save(const COptionStore& store);

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    bool m_keepOld = false;
};

} // namespace brivox
