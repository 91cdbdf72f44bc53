#pragma once

#include <QString>
#include <string>

namespace brivox {

// A text value shown in a control. Qt strings hold UTF-16, so bytes that are not UTF-8 (a Latin-1
// file path) would come back changed: while the control still shows what it was given, the
// value goes back as the bytes it came from.
class CKeptText {
public:
    QString Show(const std::string& bytes);
    // The kept bytes while shown is what Show gave; else shown as UTF-8, trimmed when asked.
    std::string Collect(const QString& shown, bool trim = false) const;

private:
    std::string m_bytes;
    QString m_shown;
};

} // namespace brivox
