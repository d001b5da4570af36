#include "app/WindowManagerHints.h"

#include <QGuiApplication>
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

} // namespace

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
