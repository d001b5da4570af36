#include "platform/x11/WindowManagerHints.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>

#include <cstdint>
#include <optional>
#include <cstdlib>
#include <cstring>

namespace {

// The few xcb calls needed, taken from the libxcb that Qt's X11 platform has
// already loaded; the program links no X library of its own.
struct XcbConnection;
struct Cookie {
    unsigned int sequence;
};
struct AtomReply {
    std::uint8_t responseType;
    std::uint8_t pad0;
    std::uint16_t sequence;
    std::uint32_t length;
    std::uint32_t atom;
};
struct PointerReply {
    std::uint8_t responseType;
    std::uint8_t sameScreen;
    std::uint16_t sequence;
    std::uint32_t length;
    std::uint32_t root;
    std::uint32_t child;
    std::int16_t rootX, rootY, winX, winY;
    std::uint16_t mask;
    std::uint8_t pad0[2];
};
using InternAtom = Cookie (*)(XcbConnection*, std::uint8_t, std::uint16_t, const char*);
using InternAtomReply = AtomReply* (*)(XcbConnection*, Cookie, void**);
using ChangeProperty = Cookie (*)(XcbConnection*, std::uint8_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                  std::uint8_t, std::uint32_t, const void*);
using QueryPointer = Cookie (*)(XcbConnection*, std::uint32_t);
using QueryPointerReply = PointerReply* (*)(XcbConnection*, Cookie, void**);
using Flush = int (*)(XcbConnection*);
struct PropertyReply {
    std::uint8_t responseType;
    std::uint8_t format;
    std::uint16_t sequence;
    std::uint32_t length;
    std::uint32_t type;
    std::uint32_t bytesAfter;
    std::uint32_t valueLength;
    std::uint8_t pad0[12];
};
using GetProperty = Cookie (*)(XcbConnection*, std::uint8_t, std::uint32_t, std::uint32_t, std::uint32_t,
                               std::uint32_t, std::uint32_t);
using GetPropertyReply = PropertyReply* (*)(XcbConnection*, Cookie, void**);
using GetPropertyValue = void* (*)(const PropertyReply*);
using SendEvent = Cookie (*)(XcbConnection*, std::uint8_t, std::uint32_t, std::uint32_t, const char*);
struct PropertyNotifyEvent {
    std::uint8_t responseType;
    std::uint8_t pad0;
    std::uint16_t sequence;
    std::uint32_t window;
    std::uint32_t atom;
    std::uint32_t time;
    std::uint8_t state;
    std::uint8_t pad1[3];
};
struct ClientMessageEvent {
    std::uint8_t responseType;
    std::uint8_t format;
    std::uint16_t sequence;
    std::uint32_t window;
    std::uint32_t type;
    std::uint32_t data[5];
};
constexpr std::uint8_t kPropertyNotify = 28;
constexpr std::uint8_t kClientMessage = 33;
constexpr std::uint32_t kAtomAtom = 4;
constexpr std::uint32_t kSubstructureNotifyAndRedirect = (1u << 19) | (1u << 20);

// The Motif window manager hints: which functions and decorations the frame offers.
constexpr std::uint32_t kHintsFunctions = 1;
constexpr std::uint32_t kHintsDecorations = 2;
constexpr std::uint32_t kFunctionMove = 4;
constexpr std::uint32_t kFunctionClose = 32;
constexpr std::uint32_t kDecorBorder = 2;
constexpr std::uint32_t kDecorTitle = 8;
constexpr std::uint32_t kDecorMenu = 16;
// The five mouse buttons in the pointer's state mask.
constexpr std::uint16_t kButtonsMask = 0x1F00;

// The X connection of a window, or null when the program does not run on X11.
XcbConnection* ConnectionOf(QWidget* window)
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb") || !window || !window->isWindow())
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? reinterpret_cast<XcbConnection*>(x11->connection()) : nullptr;
}

template <class F>
F Xcb(const char* name)
{
    static void* lib = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
    return lib ? reinterpret_cast<F>(dlsym(lib, name)) : nullptr;
}

// An atom by name; 0 when there is none.
std::uint32_t Atom(XcbConnection* connection, const char* name)
{
    const auto internAtom = Xcb<InternAtom>("xcb_intern_atom");
    const auto internAtomReply = Xcb<InternAtomReply>("xcb_intern_atom_reply");
    if (!connection || !internAtom || !internAtomReply)
        return 0;
    AtomReply* reply = internAtomReply(connection, internAtom(connection, 0, std::strlen(name), name), nullptr);
    const std::uint32_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

// The atoms of the window manager's state of a window that matter here.
struct StateAtoms {
    std::uint32_t state = 0;
    std::uint32_t shaded = 0;
    std::uint32_t hidden = 0;
    std::uint32_t maximisedVert = 0;
    std::uint32_t maximisedHorz = 0;
    std::uint32_t fullscreen = 0;
    std::uint32_t desktop = 0;        // the desktop a window is on
    std::uint32_t currentDesktop = 0; // the desktop shown, on the root window
};

const StateAtoms& Atoms(XcbConnection* connection)
{
    static const StateAtoms atoms{Atom(connection, "_NET_WM_STATE"),
                                  Atom(connection, "_NET_WM_STATE_SHADED"),
                                  Atom(connection, "_NET_WM_STATE_HIDDEN"),
                                  Atom(connection, "_NET_WM_STATE_MAXIMIZED_VERT"),
                                  Atom(connection, "_NET_WM_STATE_MAXIMIZED_HORZ"),
                                  Atom(connection, "_NET_WM_STATE_FULLSCREEN"),
                                  Atom(connection, "_NET_WM_DESKTOP"),
                                  Atom(connection, "_NET_CURRENT_DESKTOP")};
    return atoms;
}

// What the window manager's state of a window says: rolled up, minimised,
// stretched over the screen.
struct ManagerState {
    bool shaded = false;
    bool hidden = false;
    bool stretched = false;
};

ManagerState ReadState(QWidget* window)
{
    XcbConnection* connection = ConnectionOf(window);
    const auto getProperty = Xcb<GetProperty>("xcb_get_property");
    const auto getPropertyReply = Xcb<GetPropertyReply>("xcb_get_property_reply");
    const auto getPropertyValue = Xcb<GetPropertyValue>("xcb_get_property_value");
    ManagerState result;
    if (!connection || !getProperty || !getPropertyReply || !getPropertyValue)
        return result;
    const StateAtoms& atoms = Atoms(connection);
    PropertyReply* reply = getPropertyReply(
        connection, getProperty(connection, 0, static_cast<std::uint32_t>(window->winId()), atoms.state, kAtomAtom, 0, 32),
        nullptr);
    if (reply && reply->format == 32 && reply->type == kAtomAtom) {
        const auto* values = static_cast<const std::uint32_t*>(getPropertyValue(reply));
        for (std::uint32_t i = 0; i < reply->valueLength; ++i) {
            result.shaded = result.shaded || values[i] == atoms.shaded;
            result.hidden = result.hidden || values[i] == atoms.hidden;
            result.stretched = result.stretched || values[i] == atoms.maximisedVert
                || values[i] == atoms.maximisedHorz || values[i] == atoms.fullscreen;
        }
    }
    std::free(reply);
    return result;
}

// One 32-bit value of a window's property; none when it is not set.
std::optional<std::uint32_t> Cardinal(XcbConnection* connection, std::uint32_t window, std::uint32_t property)
{
    const auto getProperty = Xcb<GetProperty>("xcb_get_property");
    const auto getPropertyReply = Xcb<GetPropertyReply>("xcb_get_property_reply");
    const auto getPropertyValue = Xcb<GetPropertyValue>("xcb_get_property_value");
    if (!connection || !getProperty || !getPropertyReply || !getPropertyValue || !property)
        return std::nullopt;
    constexpr std::uint32_t kCardinalAtom = 6;
    PropertyReply* reply =
        getPropertyReply(connection, getProperty(connection, 0, window, property, kCardinalAtom, 0, 1), nullptr);
    std::optional<std::uint32_t> value;
    if (reply && reply->format == 32 && reply->valueLength == 1)
        value = *static_cast<const std::uint32_t*>(getPropertyValue(reply));
    std::free(reply);
    return value;
}

// The root window of the screen a window is on; 0 when unknown.
std::uint32_t RootOf(XcbConnection* connection, std::uint32_t window)
{
    const auto queryPointer = Xcb<QueryPointer>("xcb_query_pointer");
    const auto queryPointerReply = Xcb<QueryPointerReply>("xcb_query_pointer_reply");
    if (!connection || !queryPointer || !queryPointerReply)
        return 0;
    PointerReply* pointer = queryPointerReply(connection, queryPointer(connection, window), nullptr);
    const std::uint32_t root = pointer ? pointer->root : 0;
    std::free(pointer);
    return root;
}

// A request to the window manager about a window, sent to the root window
// as the extended window manager hints ask.
void AskWindowManager(XcbConnection* connection, std::uint32_t window, std::uint32_t type,
                      const std::uint32_t (&data)[5])
{
    const auto sendEvent = Xcb<SendEvent>("xcb_send_event");
    const auto flush = Xcb<Flush>("xcb_flush");
    const std::uint32_t root = RootOf(connection, window);
    if (!sendEvent || !flush || !root)
        return;
    ClientMessageEvent message{kClientMessage, 32, 0, window, type, {data[0], data[1], data[2], data[3], data[4]}};
    static_assert(sizeof(message) == 32);
    sendEvent(connection, 0, root, kSubstructureNotifyAndRedirect, reinterpret_cast<const char*>(&message));
    flush(connection);
}

// Asks the window manager to roll the window down again, or to give it its
// own size again (the windows have a fixed size: stretched, their content
// would sit in a corner of a large empty area).
void UndoState(QWidget* window, const ManagerState& state)
{
    XcbConnection* connection = ConnectionOf(window);
    if (!connection)
        return;
    const auto id = static_cast<std::uint32_t>(window->winId());
    const StateAtoms& atoms = Atoms(connection);
    constexpr std::uint32_t kRemove = 0;
    constexpr std::uint32_t kFromApplication = 1;
    if (state.shaded)
        AskWindowManager(connection, id, atoms.state, {kRemove, atoms.shaded, 0, kFromApplication, 0});
    if (state.stretched) {
        AskWindowManager(connection, id, atoms.state,
                         {kRemove, atoms.maximisedVert, atoms.maximisedHorz, kFromApplication, 0});
        AskWindowManager(connection, id, atoms.state, {kRemove, atoms.fullscreen, 0, kFromApplication, 0});
    }
}

// The desktop a window is on and the one shown, when they differ and the
// window is not on all desktops.
std::optional<std::uint32_t> DesktopShownIfElsewhere(QWidget* window)
{
    XcbConnection* connection = ConnectionOf(window);
    if (!connection)
        return std::nullopt;
    const auto id = static_cast<std::uint32_t>(window->winId());
    const StateAtoms& atoms = Atoms(connection);
    const std::optional<std::uint32_t> on = Cardinal(connection, id, atoms.desktop);
    const std::optional<std::uint32_t> shown = Cardinal(connection, RootOf(connection, id), atoms.currentDesktop);
    constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
    if (!on || !shown || *on == *shown || *on == kAllDesktops)
        return std::nullopt;
    return shown;
}

// Brings a window that was sent to another desktop back to the one shown:
// a desktop without a taskbar or pager offers no way to go and find it.
// Whether it had to be asked for.
bool FetchToCurrentDesktop(QWidget* window)
{
    const std::optional<std::uint32_t> shown = DesktopShownIfElsewhere(window);
    if (!shown)
        return false;
    constexpr std::uint32_t kFromApplication = 1;
    AskWindowManager(ConnectionOf(window), static_cast<std::uint32_t>(window->winId()),
                     Atoms(ConnectionOf(window)).desktop, {*shown, kFromApplication, 0, 0, 0});
    return true;
}

constexpr const char* kKeptOnScreen = "rechenkovKeptOnScreen";
constexpr const char* kFetches = "rechenkovFetches";

// Puts a minimised or rolled-up window back where it was, with its owner,
// and gives the keyboard to the box on top if one is open.
void BringBack(QWidget* window)
{
    if (!window || !window->isVisible())
        return;
    const ManagerState state = ReadState(window);
    UndoState(window, state);
    if (FetchToCurrentDesktop(window)) {
        // Once the window manager has put it back (a window not shown takes
        // no keyboard), the keyboard goes to it again; a window manager that
        // keeps it where it is (a box that follows its owner) is asked a few
        // times only.
        const int fetches = window->property(kFetches).toInt();
        if (fetches < 5) {
            window->setProperty(kFetches, fetches + 1);
            QTimer::singleShot(200, window, [w = QPointer<QWidget>(window)] { BringBack(w); });
        }
    } else {
        window->setProperty(kFetches, 0);
    }
    if (window->isMinimized() || window->isMaximized() || window->isFullScreen())
        window->showNormal();
    window->raise();
    QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (owner && owner->isVisible() && (owner->isMinimized() || ReadState(owner).hidden))
        BringBack(owner);
    QWidget* modal = QApplication::activeModalWidget();
    (modal && modal->isVisible() ? modal : window)->activateWindow();
}

void BringBackSoon(QWidget* window)
{
    // Once Qt has taken in the new state itself.
    QTimer::singleShot(0, window, [w = QPointer<QWidget>(window)] { BringBack(w); });
}

// Qt's own view: minimised (an iconic window, or one a window manager
// without the extended hints minimised).
class StateWatch final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowStateChange) {
            auto* window = static_cast<QWidget*>(watched);
            if (window->isMinimized() || window->isMaximized() || window->isFullScreen())
                BringBackSoon(window);
        }
        return false;
    }
};

// The window manager's view, which Qt does not always report: rolled up,
// stretched, sent to another desktop (or the desktop shown changed, which
// brings every window of the child's along).
class ShadeWatch final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const PropertyNotifyEvent*>(message);
        if ((event->responseType & 0x7F) != kPropertyNotify)
            return false;
        QWidget* window = QWidget::find(event->window);
        if (!window || !window->property(kKeptOnScreen).toBool())
            return false;
        const StateAtoms& atoms = Atoms(ConnectionOf(window));
        if (event->atom == atoms.desktop) {
            // Sent elsewhere, or back from there after being fetched; a
            // window manager that merely restates the desktop at a map is
            // no reason to do anything.
            if (DesktopShownIfElsewhere(window) || window->property(kFetches).toInt() > 0)
                BringBackSoon(window);
        } else if (event->atom == atoms.state) {
            const ManagerState state = ReadState(window);
            if (state.shaded || state.hidden || state.stretched)
                BringBackSoon(window);
        }
        return false;
    }
};

} // namespace

void KeepOnScreen(QWidget* window)
{
    if (!window || window->property(kKeptOnScreen).toBool())
        return;
    window->setProperty(kKeptOnScreen, true);
    window->installEventFilter(new StateWatch(window));
    if (ConnectionOf(window)) {
        static auto* shadeWatch = [] {
            auto* watch = new ShadeWatch;
            QCoreApplication::instance()->installNativeEventFilter(watch);
            return watch;
        }();
        Q_UNUSED(shadeWatch);
    }
}

void OfferMoveAndCloseOnly(QWidget* window)
{
    XcbConnection* connection = ConnectionOf(window);
    const auto internAtom = Xcb<InternAtom>("xcb_intern_atom");
    const auto internAtomReply = Xcb<InternAtomReply>("xcb_intern_atom_reply");
    const auto changeProperty = Xcb<ChangeProperty>("xcb_change_property");
    const auto flush = Xcb<Flush>("xcb_flush");
    if (!connection || !internAtom || !internAtomReply || !changeProperty || !flush)
        return;
    const char name[] = "_MOTIF_WM_HINTS";
    AtomReply* reply = internAtomReply(connection, internAtom(connection, 0, std::strlen(name), name), nullptr);
    if (!reply)
        return;
    const std::uint32_t hints[5] = {kHintsFunctions | kHintsDecorations, kFunctionMove | kFunctionClose,
                                    kDecorBorder | kDecorTitle | kDecorMenu, 0, 0};
    constexpr std::uint8_t kReplace = 0;
    changeProperty(connection, kReplace, static_cast<std::uint32_t>(window->winId()), reply->atom, reply->atom, 32,
                   5, hints);
    flush(connection);
    std::free(reply);
}

bool PointerButtonHeld(QWidget* window)
{
    XcbConnection* connection = ConnectionOf(window);
    const auto queryPointer = Xcb<QueryPointer>("xcb_query_pointer");
    const auto queryPointerReply = Xcb<QueryPointerReply>("xcb_query_pointer_reply");
    if (!connection || !queryPointer || !queryPointerReply)
        return false;
    PointerReply* reply = queryPointerReply(connection, queryPointer(connection, window->winId()), nullptr);
    const bool held = reply && (reply->mask & kButtonsMask);
    std::free(reply);
    return held;
}
