#pragma once

#include <QColor>
#include <QLabel>
#include <string>

class QObject;

namespace brivox {

// A static text that acts as a web link: its own font (underlined or bold), blue, red under the
// pointer, dark blue once clicked, a hand cursor; a click opens its URL, or tells the notify
// object (message 0x465, wParam the control's id) when one is set.
class CLinkStatic : public QLabel {
public:
    static constexpr uint32_t kClickedMessage = 0x465;

    CLinkStatic(bool underline, bool bold, QWidget* parent = nullptr);

    // Takes the place of a label a dialog template made: its id, geometry and the dialog font.
    void Attach(QLabel* label);

    void SetLinkText(const std::string& text);
    const std::string& LinkText() const { return m_text; }
    void SetUrl(const std::string& url, int showCommand);
    const std::string& Url() const { return m_url; }
    void SetNormalColor(QColor colour);
    void SetVisitedColor(QColor colour);
    void SetNotifyWindow(QObject* notify) { m_notify = notify; }

    bool IsHovered() const { return m_hover; }
    bool IsVisited() const { return m_visited; }
    // The colour the text shows in right now.
    QColor TextColor() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ApplyFont(const QFont& dialogFont);
    void Repaint();

    int m_showCommand = 5;
    bool m_underline;
    bool m_bold;
    QObject* m_notify = nullptr;
    bool m_hover = false;
    bool m_visited = false;
    std::string m_text;
    std::string m_url;
    QColor m_hoverColor{255, 0, 0};
    QColor m_normalColor{0, 0, 255};
    QColor m_visitedColor{5, 34, 143};
};

} // namespace brivox
