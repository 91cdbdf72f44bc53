#include "options/KeptText.h"

namespace brivox {

QString CKeptText::Show(const std::string& bytes) {
    m_bytes = bytes;
    m_shown = QString::fromStdString(bytes);
    return m_shown;
}

std::string CKeptText::Collect(const QString& shown, bool trim) const {
    if (shown == m_shown)
        return m_bytes;
    return (trim ? shown.trimmed() : shown).toStdString();
}

} // namespace brivox
