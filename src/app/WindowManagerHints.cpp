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
struct AtomCookie {
    unsigned int sequence;
};
struct AtomReply {
    std::uint8_t responseType;
    std::uint8_t pad0;
    std::uint16_t sequence;
    std::uint32_t length;
    std::uint32_t atom;
};
struct VoidCookie {
    unsigned int sequence;
};
using InternAtom = AtomCookie (*)(XcbConnection*, std::uint8_t, std::uint16_t, const char*);
using InternAtomReply = AtomReply* (*)(XcbConnection*, AtomCookie, void**);
using ChangeProperty = VoidCookie (*)(XcbConnection*, std::uint8_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                      std::uint8_t, std::uint32_t, const void*);
using Flush = int (*)(XcbConnection*);

// The Motif window manager hints: which functions and decorations the frame offers.
constexpr std::uint32_t kHintsFunctions = 1;
constexpr std::uint32_t kHintsDecorations = 2;
constexpr std::uint32_t kFunctionMove = 4;
constexpr std::uint32_t kFunctionClose = 32;
constexpr std::uint32_t kDecorBorder = 2;
constexpr std::uint32_t kDecorTitle = 8;
constexpr std::uint32_t kDecorMenu = 16;

} // namespace

void OfferMoveAndCloseOnly(QWidget* window)
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb") || !window || !window->isWindow())
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    void* lib = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!lib)
        return;
    const auto internAtom = reinterpret_cast<InternAtom>(dlsym(lib, "xcb_intern_atom"));
    const auto internAtomReply = reinterpret_cast<InternAtomReply>(dlsym(lib, "xcb_intern_atom_reply"));
    const auto changeProperty = reinterpret_cast<ChangeProperty>(dlsym(lib, "xcb_change_property"));
    const auto flush = reinterpret_cast<Flush>(dlsym(lib, "xcb_flush"));
    if (internAtom && internAtomReply && changeProperty && flush) {
        auto* connection = reinterpret_cast<XcbConnection*>(x11->connection());
        const char name[] = "_MOTIF_WM_HINTS";
        AtomReply* reply = internAtomReply(connection, internAtom(connection, 0, std::strlen(name), name), nullptr);
        if (reply) {
            const std::uint32_t hints[5] = {kHintsFunctions | kHintsDecorations, kFunctionMove | kFunctionClose,
                                            kDecorBorder | kDecorTitle | kDecorMenu, 0, 0};
            constexpr std::uint8_t kReplace = 0;
            changeProperty(connection, kReplace, static_cast<std::uint32_t>(window->winId()), reply->atom,
                           reply->atom, 32, 5, hints);
            flush(connection);
            std::free(reply);
        }
    }
    dlclose(lib);
}
