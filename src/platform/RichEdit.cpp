#include "platform/RichEdit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <algorithm>

namespace brivox {

namespace {

// A key that types its text (a character, a tab, a line break) rather than editing.
bool TypesText(const QKeyEvent& event) {
    const QString text = event.text();
    if (text.isEmpty() ||
        (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.isPrint() || c == u'\t' || c == u'\r' || c == u'\n';
    });
}

} // namespace

CRichEdit::CRichEdit(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
}

qsizetype CRichEdit::Room() const {
    const QTextCursor cursor = textCursor();
    const qsizetype length = document()->characterCount() - 1;
    return m_limit - (length - (cursor.selectionEnd() - cursor.selectionStart()));
}

void CRichEdit::keyPressEvent(QKeyEvent* event) {
    if (TypesText(*event) && Room() < event->text().size()) {
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void CRichEdit::inputMethodEvent(QInputMethodEvent* event) {
    const qsizetype room = std::max<qsizetype>(Room(), 0);
    if (event->commitString().size() <= room) {
        QTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(event->commitString().left(room), event->replacementStart(),
                        event->replacementLength());
    QTextEdit::inputMethodEvent(&cut);
}

void CRichEdit::insertFromMimeData(const QMimeData* source) {
    const qsizetype room = std::max<qsizetype>(Room(), 0);
    if (!source->hasText() || source->text().size() <= room) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QMimeData cut;
    cut.setText(source->text().left(room));
    QTextEdit::insertFromMimeData(&cut);
}

} // namespace brivox
