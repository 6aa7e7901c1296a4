#include "X11WindowHints.h"

#include <QGuiApplication>
#include <QWindow>

#if __has_include(<xcb/xcb.h>)
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <xcb/xcb.h>
#define VOX_HAVE_XCB 1
#endif

namespace vox {

#ifdef VOX_HAVE_XCB
namespace {

// Puts the window on every workspace and keeps it above others, through the
// window manager's EWMH messages. libxcb is already loaded by Qt's xcb
// platform plugin; it is looked up at run time so that nothing links it.
void sendHints(QWindow *w)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t *c = x11->connection();
    void *lib = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!lib)
        return;
    auto internAtom = reinterpret_cast<decltype(&xcb_intern_atom)>(dlsym(lib, "xcb_intern_atom"));
    auto internReply = reinterpret_cast<decltype(&xcb_intern_atom_reply)>(dlsym(lib, "xcb_intern_atom_reply"));
    auto setup = reinterpret_cast<decltype(&xcb_get_setup)>(dlsym(lib, "xcb_get_setup"));
    auto rootsIterator = reinterpret_cast<decltype(&xcb_setup_roots_iterator)>(dlsym(lib, "xcb_setup_roots_iterator"));
    auto sendEvent = reinterpret_cast<decltype(&xcb_send_event)>(dlsym(lib, "xcb_send_event"));
    auto flush = reinterpret_cast<decltype(&xcb_flush)>(dlsym(lib, "xcb_flush"));
    if (!internAtom || !internReply || !setup || !rootsIterator || !sendEvent || !flush) {
        dlclose(lib);
        return;
    }
    auto atom = [&](const char *name) -> xcb_atom_t {
        auto cookie = internAtom(c, 0, uint16_t(strlen(name)), name);
        xcb_intern_atom_reply_t *reply = internReply(c, cookie, nullptr);
        xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return a;
    };
    const xcb_window_t root = rootsIterator(setup(c)).data->root;
    const auto win = xcb_window_t(w->winId());
    auto send = [&](xcb_atom_t type, uint32_t d0, uint32_t d1, uint32_t d2) {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = win;
        ev.type = type;
        ev.data.data32[0] = d0;
        ev.data.data32[1] = d1;
        ev.data.data32[2] = d2;
        ev.data.data32[3] = 1; // source: application
        sendEvent(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                  reinterpret_cast<const char *>(&ev));
    };
    const xcb_atom_t wmState = atom("_NET_WM_STATE");
    const xcb_atom_t wmDesktop = atom("_NET_WM_DESKTOP");
    const xcb_atom_t sticky = atom("_NET_WM_STATE_STICKY");
    const xcb_atom_t above = atom("_NET_WM_STATE_ABOVE");
    constexpr uint32_t kAdd = 1;
    if (wmDesktop != XCB_ATOM_NONE)
        send(wmDesktop, 0xFFFFFFFFu, 0, 0);
    if (wmState != XCB_ATOM_NONE && sticky != XCB_ATOM_NONE)
        send(wmState, kAdd, sticky, above);
    flush(c);
    dlclose(lib);
}

} // namespace
#endif

void X11WindowHints::keepAboveOnAllWorkspaces(QWindow *window)
{
#ifdef VOX_HAVE_XCB
    if (window && QGuiApplication::platformName() == QLatin1String("xcb"))
        sendHints(window);
#else
    (void)window;
#endif
}

} // namespace vox
