#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace brivox {

// Limits what the user types or pastes into a line edit, not what code puts there: a stored text
// longer than the limit loads whole (validation reports it later) and the user may delete from
// it, but no edit makes it longer. Qt's maximum length alone would cut text set by code; here it
// follows the text, never below the limit.
class CTypingLimit : public QObject {
    Q_OBJECT

public:
    static void Install(QLineEdit* edit, int limit);
    // The edit's limit, -1 without one.
    static int LimitOf(const QLineEdit* edit);
    // Sets the text as code does: whole, whatever its length.
    static void SetText(QLineEdit* edit, const QString& text);

private:
    CTypingLimit(QLineEdit* edit, int limit);
    void Follow(QLineEdit* edit, qsizetype length) const;

    int m_limit;
};

} // namespace brivox
