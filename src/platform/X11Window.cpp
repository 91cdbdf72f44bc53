#include "platform/X11Window.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace brivox::x11 {

namespace {

// Motif window-manager hints: which fields count, then the function and decoration bits.
constexpr uint32_t kHintsFunctions = 1;
constexpr uint32_t kHintsDecorations = 2;
constexpr uint32_t kFunctionResize = 2;
constexpr uint32_t kFunctionsAll = kFunctionResize | 4 | 8 | 16 | 32; // move, min, max, close
constexpr uint32_t kDecorResizeHandles = 4;
constexpr uint32_t kDecorationsAll = 2 | kDecorResizeHandles | 8 | 16 | 32 | 64;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t* Connection() {
    auto* app = qGuiApp;
    if (app == nullptr)
        return nullptr;
    const auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, const std::string& name) {
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.c_str()),
            nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string AtomName(xcb_connection_t* connection, xcb_atom_t atom) {
    const Reply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atom), nullptr),
        &std::free);
    if (!reply)
        return "";
    return std::string(xcb_get_atom_name_name(reply.get()),
                       static_cast<size_t>(xcb_get_atom_name_name_length(reply.get())));
}

// A 32-bit list property, empty when missing or of another type.
std::vector<uint32_t> ListProperty(xcb_connection_t* connection, unsigned window,
                                   const std::string& name, xcb_atom_t type) {
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 0, window, Atom(connection, name), type, 0, 1024),
            nullptr),
        &std::free);
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

void SetProperty(xcb_connection_t* connection, unsigned window, xcb_atom_t property,
                 xcb_atom_t type, uint8_t format, uint32_t count, const void* data) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, format, count,
                        data);
    xcb_flush(connection);
}

} // namespace

bool Available() {
    return Connection() != nullptr;
}

unsigned WindowId(const QWidget* window) {
    return window != nullptr ? static_cast<unsigned>(window->internalWinId()) : 0;
}

void SetMotifHints(const QWidget* window, bool resizable) {
    xcb_connection_t* connection = Connection();
    const unsigned id = WindowId(window);
    if (connection == nullptr || id == 0)
        return;
    const uint32_t hints[5] = {kHintsFunctions | kHintsDecorations,
                               resizable ? kFunctionsAll : kFunctionsAll & ~kFunctionResize,
                               resizable ? kDecorationsAll : kDecorationsAll & ~kDecorResizeHandles,
                               0, 0};
    const xcb_atom_t atom = Atom(connection, "_MOTIF_WM_HINTS");
    SetProperty(connection, id, atom, atom, 32, 5, hints);
}

std::vector<std::string> AllowedActions(const QWidget* window) {
    xcb_connection_t* connection = Connection();
    const unsigned id = WindowId(window);
    if (connection == nullptr || id == 0)
        return {};
    std::vector<std::string> names;
    for (const uint32_t atom :
         ListProperty(connection, id, "_NET_WM_ALLOWED_ACTIONS", XCB_ATOM_ATOM))
        names.push_back(AtomName(connection, atom));
    return names;
}

std::optional<QMargins> FrameExtents(const QWidget* window) {
    xcb_connection_t* connection = Connection();
    const unsigned id = WindowId(window);
    if (connection == nullptr || id == 0)
        return std::nullopt;
    const std::vector<uint32_t> extents =
        ListProperty(connection, id, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
    if (extents.size() != 4)
        return std::nullopt;
    // The property lists left, right, top, bottom.
    return QMargins(static_cast<int>(extents[0]), static_cast<int>(extents[2]),
                    static_cast<int>(extents[1]), static_cast<int>(extents[3]));
}

void SetTitleProperties(const QWidget* window, const QByteArray& utf8) {
    xcb_connection_t* connection = Connection();
    const unsigned id = WindowId(window);
    if (connection == nullptr || id == 0)
        return;
    const auto length = static_cast<uint32_t>(utf8.size());
    SetProperty(connection, id, Atom(connection, "_NET_WM_NAME"), Atom(connection, "UTF8_STRING"),
                8, length, utf8.constData());
    SetProperty(connection, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, length, utf8.constData());
}

bool PointerButtonHeld() {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr)
        return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr),
        &std::free);
    constexpr uint16_t kButtons = XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3;
    return reply && (reply->mask & kButtons) != 0;
}

CPropertyWatch::CPropertyWatch(std::vector<std::string> properties, Callback callback)
    : m_callback(std::move(callback)) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr)
        return;
    for (std::string& name : properties)
        m_atoms.emplace_back(Atom(connection, name), std::move(name));
    QCoreApplication::instance()->installNativeEventFilter(this);
}

CPropertyWatch::~CPropertyWatch() {
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool CPropertyWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
    for (const auto& [atom, name] : m_atoms) {
        if (atom == notify->atom)
            m_callback(notify->window, name);
    }
    return false; // Qt still sees every event
}

} // namespace brivox::x11
