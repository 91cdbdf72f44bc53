#include "options/SettingsFile.h"

#include "platform/FileIO.h"

namespace brivox {

COptionLoadReport CSettingsFile::Load(COptionStore& store) {
    RemoveStaleTemporaries(m_path);
    COptionLoadReport report;
    store.Load(m_path, true, &report, m_textEnd);
    m_keepOld = report.outcome != COptionLoadReport::Outcome::Complete &&
                report.outcome != COptionLoadReport::Outcome::Missing;
    return report;
}

bool CSettingsFile::Save(const COptionStore& store) {
    if (!store.Save(m_path, m_keepOld ? kDamagedSuffix : ""))
        return false;
    m_keepOld = false;
    return true;
}

} // namespace brivox
