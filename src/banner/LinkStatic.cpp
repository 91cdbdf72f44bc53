#include "banner/LinkStatic.h"

#include "platform/DialogBuilder.h"
#include "platform/PostedMessage.h"
#include "platform/UrlOpener.h"

#include <QMouseEvent>

namespace brivox {

CLinkStatic::CLinkStatic(bool underline, bool bold, QWidget* parent)
    : QLabel(parent), m_underline(underline), m_bold(bold) {
    setCursor(Qt::PointingHandCursor);
    ApplyFont(font());
    Repaint();
}

void CLinkStatic::Attach(QLabel* label) {
    setParent(label->parentWidget());
    TakeControlPlace(this, label);
    ApplyFont(label->font());
    setText(label->text());
    m_text = label->text().toStdString();
    delete label;
    Repaint();
}

void CLinkStatic::ApplyFont(const QFont& dialogFont) {
    QFont linkFont = dialogFont;
    linkFont.setUnderline(m_underline);
    linkFont.setWeight(m_bold ? QFont::Bold : QFont::Normal);
    setFont(linkFont);
}

void CLinkStatic::SetLinkText(const std::string& text) {
    m_text = text;
    setText(QString::fromStdString(text));
}

void CLinkStatic::SetUrl(const std::string& url, int showCommand) {
    m_url = url;
    m_showCommand = showCommand;
}

void CLinkStatic::SetNormalColor(QColor colour) {
    m_normalColor = colour;
    Repaint();
}

void CLinkStatic::SetVisitedColor(QColor colour) {
    m_visitedColor = colour;
    Repaint();
}

QColor CLinkStatic::TextColor() const {
    return m_visited ? m_visitedColor : m_hover ? m_hoverColor : m_normalColor;
}

// The parent's background shows through: only the text has a colour of its own.
void CLinkStatic::Repaint() {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, TextColor());
    setPalette(colours);
    update();
}

void CLinkStatic::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    m_hover = true;
    Repaint();
}

void CLinkStatic::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    m_hover = false;
    Repaint();
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    if (m_notify != nullptr)
        SendWindowMessage(m_notify, kClickedMessage, static_cast<uintptr_t>(ControlId(this)), 0);
    else
        OpenWebPage(m_url);
    m_visited = true;
    Repaint();
}

} // namespace brivox
