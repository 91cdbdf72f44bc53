#pragma once

#include <QTextEdit>

namespace brivox {

// The rich input box: a plain-text edit whose length limit refuses what does not fit before it
// lands (typing, pasting, dropping, input methods), so that the text already there and the undo
// history stay as they were.
class CRichEdit : public QTextEdit {
    Q_OBJECT

public:
    explicit CRichEdit(QWidget* parent);

    void SetTextLimit(int characters) { m_limit = characters; }
    int TextLimit() const { return m_limit; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Characters an insertion may add, the selection it replaces counted as free.
    qsizetype Room() const;

    int m_limit = 32767;
};

} // namespace brivox
