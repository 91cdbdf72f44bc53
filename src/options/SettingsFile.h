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

    explicit CSettingsFile(std::string path, OptionTextEnd textEnd = OptionTextEnd::FirstZero)
        : m_path(std::move(path)), m_textEnd(textEnd) {}

    // Removes what interrupted saves left, then loads the file over the store (keep set).
    COptionLoadReport Load(COptionStore& store);
    // A file that loaded whole but whose content its reader finds damaged (entries that
    // disagree with their count) is kept beside at the first save too.
    void KeepAsideAtNextSave() { m_keepOld = true; }
    // Written whole; false when the file could not be written, which leaves it as it was.
    bool Save(const COptionStore& store);

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    OptionTextEnd m_textEnd;
    bool m_keepOld = false;
};

} // namespace brivox
