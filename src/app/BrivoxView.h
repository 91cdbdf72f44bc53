#pragma once

#include <QWidget>

namespace brivox {

class CSessionHost;

// The main frame's client area: it carries the main session host and keeps it at its own size.
class CBrivoxView : public QWidget {
public:
    explicit CBrivoxView(QWidget* frame);
    ~CBrivoxView() override;

    // Creates the main session host once (a second call only resizes it) at the frame's size.
    void OnInitialUpdate();
    CSessionHost* MainHost() const { return m_host; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CSessionHost* m_host = nullptr;
};

// The framework's document stand-in: it has no content; a New command only refreshes the view.
class CBrivoxDoc {
public:
    explicit CBrivoxDoc(CBrivoxView& view) : m_view(view) {}
    void OnNewDocument() { m_view.OnInitialUpdate(); }

private:
    CBrivoxView& m_view;
};

} // namespace brivox
