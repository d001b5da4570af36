#include "app/WindowManagerHints.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>

#include <cstdint>
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
};

const StateAtoms& Atoms(XcbConnection* connection)
{
    static const StateAtoms atoms{Atom(connection, "_NET_WM_STATE"), Atom(connection, "_NET_WM_STATE_SHADED"),
                                  Atom(connection, "_NET_WM_STATE_HIDDEN")};
    return atoms;
}

// What the window manager's state of a window says: rolled up, minimised.
struct ManagerState {
    bool shaded = false;
    bool hidden = false;
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
        }
    }
    std::free(reply);
    return result;
}

// Asks the window manager to roll the window down again.
void Unshade(QWidget* window)
{
    XcbConnection* connection = ConnectionOf(window);
    const auto queryPointer = Xcb<QueryPointer>("xcb_query_pointer");
    const auto queryPointerReply = Xcb<QueryPointerReply>("xcb_query_pointer_reply");
    const auto sendEvent = Xcb<SendEvent>("xcb_send_event");
    const auto flush = Xcb<Flush>("xcb_flush");
    if (!connection || !queryPointer || !queryPointerReply || !sendEvent || !flush)
        return;
    const auto id = static_cast<std::uint32_t>(window->winId());
    PointerReply* pointer = queryPointerReply(connection, queryPointer(connection, id), nullptr);
    if (!pointer)
        return;
    const std::uint32_t root = pointer->root;
    std::free(pointer);
    const StateAtoms& atoms = Atoms(connection);
    constexpr std::uint32_t kRemove = 0;
    constexpr std::uint32_t kFromApplication = 1;
    ClientMessageEvent message{kClientMessage, 32, 0, id, atoms.state, {kRemove, atoms.shaded, 0, kFromApplication, 0}};
    static_assert(sizeof(message) == 32);
    sendEvent(connection, 0, root, kSubstructureNotifyAndRedirect, reinterpret_cast<const char*>(&message));
    flush(connection);
}

constexpr const char* kKeptOnScreen = "rechenkovKeptOnScreen";

// Puts a minimised or rolled-up window back where it was, with its owner,
// and gives the keyboard to the box on top if one is open.
void BringBack(QWidget* window)
{
    if (!window || !window->isVisible())
        return;
    if (ReadState(window).shaded)
        Unshade(window);
    if (window->isMinimized())
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
            if (window->isMinimized())
                BringBackSoon(window);
        }
        return false;
    }
};

// The window manager's view, which Qt does not report: rolled up.
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
        if (!window || !window->property(kKeptOnScreen).toBool() || event->atom != Atoms(ConnectionOf(window)).state)
            return false;
        const ManagerState state = ReadState(window);
        if (state.shaded || state.hidden)
            BringBackSoon(window);
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
