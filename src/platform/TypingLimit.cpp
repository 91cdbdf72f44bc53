#include "platform/TypingLimit.h"

#include <QLineEdit>
#include <algorithm>

namespace brivox {

CTypingLimit::CTypingLimit(QLineEdit* edit, int limit) : QObject(edit), m_limit(limit) {
    connect(edit, &QLineEdit::textChanged, this,
            [this, edit](const QString& text) { Follow(edit, text.size()); });
    Follow(edit, edit->text().size());
}

// Qt resets the undo history whenever the maximum changes: only an over-long text moves it.
void CTypingLimit::Follow(QLineEdit* edit, qsizetype length) const {
    const int maximum = static_cast<int>(std::max<qsizetype>(m_limit, length));
    if (edit->maxLength() != maximum)
        edit->setMaxLength(maximum);
}

void CTypingLimit::Install(QLineEdit* edit, int limit) {
    delete edit->findChild<CTypingLimit*>(QString(), Qt::FindDirectChildrenOnly);
    new CTypingLimit(edit, limit);
}

int CTypingLimit::LimitOf(const QLineEdit* edit) {
    const auto* limit = edit->findChild<const CTypingLimit*>(QString(), Qt::FindDirectChildrenOnly);
    return limit != nullptr ? limit->m_limit : -1;
}

void CTypingLimit::SetText(QLineEdit* edit, const QString& text) {
    if (const auto* limit =
            edit->findChild<const CTypingLimit*>(QString(), Qt::FindDirectChildrenOnly))
        limit->Follow(edit, text.size());
    edit->setText(text);
}

} // namespace brivox
