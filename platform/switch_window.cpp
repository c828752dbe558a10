#include "platform/switch_window.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "platform/gui_thread.h"
#include "platform/window_state.h"

using namespace platform::detail;

namespace {

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
    const auto cookie = xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(x, cookie, nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return found;
}

// A window manager that keeps the desktop's window rules names itself on
// the root window.
bool windowManagerRuns(xcb_connection_t* x, xcb_window_t root) {
    const auto cookie = xcb_get_property(x, 0, root, atom(x, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(x, cookie, nullptr);
    const bool runs = reply && xcb_get_property_value_length(reply) == 4;
    std::free(reply);
    return runs;
}

// Qt asks for the focus with the time of the last event it saw, which the
// window manager (or, without one, the X server) refuses when anything took
// the focus since. A request on the user's behalf goes as a task list sends
// it (source 2, no time); without a window manager the server gives it.
void giveInput(xcb_connection_t* x, xcb_window_t window) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    if (windowManagerRuns(x, root)) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom(x, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 2;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(x, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        xcb_set_input_focus(x, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    }
    xcb_flush(x);
}

// A window with a box open comes forward with its box on top, and the box
// takes the input, as the window itself refuses it meanwhile.
QWidget& raiseWithBoxes(QWidget& w) {
    w.raise();
    QWidget* top = &w;
    for (QWidget* child : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() || !child->isVisible()) continue;
        child->raise();
        top = child;
    }
    return *top;
}

void switchTo(QWidget& w) {
    w.showNormal();
    QWidget& target = raiseWithBoxes(w);
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !target.windowHandle()) {
        target.activateWindow();
        return;
    }
    giveInput(x11->connection(), static_cast<xcb_window_t>(target.winId()));
}

}  // namespace

void SwitchToThisWindow(HWND window, BOOL) {
    const auto d = findDialog(window);
    if (!d) return;
    auto run = [d] {
        if (d->widget && !d->destroyed) switchTo(*d->widget);
    };
    if (onGuiThread())
        run();
    else
        postToGui(run);
}
