#pragma once

#include <QMargins>
#include <QPoint>
#include <QWidget>

namespace brivox {

class CSessionForm;

// The window that carries one session form: the main session inside the main frame's view, or
// a child session in a top-level window of its own. Child hosts live in a process-wide registry
// until they are closed; only the main host saves the settings, when it goes.
class CSessionHost : public QWidget {
public:
    CSessionHost(bool child, QWidget* parent);
    ~CSessionHost() override;

    CSessionForm* Form() const { return m_form; }
    bool IsChild() const { return m_child; }

    // "Add Child Session": cascaded 20 pixels from the previous one.
    static CSessionHost* AddChildSession();
    static void DestroyAllChildSessions();
    static bool HasChildSessions();
    static int ChildSessionCount();
    // The main session host, if one exists.
    static CSessionHost* MainHost();
    // The first of port numbers 1 to 4, as an index from 0, that no session holds open; 4 when
    // all four are taken.
    static int DefaultPortIndex();
    // Child sessions cascade from here; the main frame resets it to the main session's corner.
    static void ResetCascadeOrigin(QPoint origin);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CSessionForm* m_form = nullptr;
    bool m_child;
    bool m_firstPaint = true;
    QPoint m_framePosition;
};

// Resizes a window, keeping its position, so that it ends 10 pixels right of the form's
// "Protocol" frame and the given margin below its banner line.
void FitWindowAroundForm(QWidget* window, const CSessionForm& form, int bottomMargin);

// Moves a top-level window so that the top-left corner of its frame lands on the point.
void MoveFrameTo(QWidget* window, QPoint frameTopLeft);

// The borders of a top-level window's frame around its client area.
QMargins FrameMargins(const QWidget* window);

} // namespace brivox
