// Showing a dialog's window and bringing it to the front.
#include <QWidget>

#include "platform/gui_thread.h"
#include "platform/window_state.h"

using namespace platform::detail;

namespace {

// The widget belongs to the dialog's thread: run there, at once when called
// on it, else queued behind the updates sent before.
template <typename Op>
BOOL onDialogWindow(HWND window, Op op) {
    const auto d = findDialog(window);
    if (!d) return FALSE;
    auto run = [d, op] {
        if (d->widget && !d->destroyed) op(*d->widget);
    };
    if (onGuiThread())
        run();
    else
        postToGui(run);
    return TRUE;
}

void show(QWidget& w, int command) {
    switch (command) {
    case SW_HIDE:
        w.hide();
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        w.showMinimized();
        break;
    default:
        w.showNormal();
        break;
    }
}

}  // namespace

BOOL ShowWindow(HWND window, int command) {
    const auto d = findDialog(window);
    // The widget's visibility can only be read on its thread.
    const bool wasVisible = d && onGuiThread() && d->widget && d->widget->isVisible();
    onDialogWindow(window, [command](QWidget& w) { show(w, command); });
    return wasVisible ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND window) {
    return onDialogWindow(window, [](QWidget& w) {
        w.raise();
        w.activateWindow();
    });
}
