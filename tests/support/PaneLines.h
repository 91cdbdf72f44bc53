#pragma once

#include <QStringList>
#include <QTextEdit>

namespace brivox::test {

// A trace log pane's lines without their random indents.
inline QStringList PaneLines(const QTextEdit& pane) {
    QStringList lines = pane.toPlainText().split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    return lines;
}

} // namespace brivox::test
