#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QMargins>
#include <QObject>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace brivox::x11 {

// True when the program runs on an X server (also XWayland); everything below does nothing
// and answers "unknown" elsewhere, and for windows that have no native window yet.
bool Available();

// The window manager's functions and decorations (_MOTIF_WM_HINTS): every function and
// decoration, without resizing unless resizable. Qt writes this property itself when it creates
// the window, so call it after show().
void SetMotifHints(const QWidget* window, bool resizable);

// _NET_WM_ALLOWED_ACTIONS as atom names ("_NET_WM_ACTION_MAXIMIZE_HORZ", ...); empty when the
// window manager has not set them.
std::vector<std::string> AllowedActions(const QWidget* window);

// _NET_FRAME_EXTENTS: the frame's border widths around the client area.
std::optional<QMargins> FrameExtents(const QWidget* window);

// The title as the window manager reads it (_NET_WM_NAME and WM_NAME), bytes as given, past
// what Qt makes of the window's title.
void SetTitleProperties(const QWidget* window, const QByteArray& utf8);

// Whether a mouse button is held right now, also while the window manager grabs the pointer
// for a move or a resize.
bool PointerButtonHeld();

// Calls back on the UI thread whenever one of the named properties of a top-level window
// changes (PropertyNotify), with the window's id and the property's name.
class CPropertyWatch : public QAbstractNativeEventFilter {
public:
    using Callback = std::function<void(unsigned window, const std::string& property)>;

    CPropertyWatch(std::vector<std::string> properties, Callback callback);
    ~CPropertyWatch() override;
    CPropertyWatch(const CPropertyWatch&) = delete;
    CPropertyWatch& operator=(const CPropertyWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::vector<std::pair<unsigned, std::string>> m_atoms;
    Callback m_callback;
};

// The window's X id, 0 when it has none.
unsigned WindowId(const QWidget* window);

} // namespace brivox::x11
