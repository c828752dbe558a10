// Creating, running and ending dialogs.
#include "platform/dialog_box.h"

#include "platform/control_widgets.h"
#include "platform/dialog_events.h"
#include "platform/dialog_window.h"
#include "platform/gui_thread.h"
#include "platform/resource_store.h"

using namespace platform::detail;

namespace {

ControlModel* firstTabStop(const DialogState& d) {
    for (const auto& c : d.controls)
        if ((c->templ.style & WS_TABSTOP) && !(c->templ.style & WS_DISABLED)) return c.get();
    return nullptr;
}

void retireHandles(const DialogState& d) {
    retireWindow(d.hwnd);
    for (const auto& c : d.controls) retireWindow(c->hwnd);
}

// Dialog's thread.
void stopTimers(DialogState& d) {
    for (auto& [id, running] : d.runningTimers) {
        running.timer->stop();
        running.timer->deleteLater();
    }
    d.runningTimers.clear();
}

// Dialog's thread: after DestroyWindow. A modal dialog's run cleans up
// when its loop returns; a modeless one goes here.
void closeDestroyed(DialogState& d) {
    stopTimers(d);
    if (d.loop) d.loop->quit();
    if (!d.widget) return;
    d.widget->hide();
    if (!d.modal) d.widget->deleteLater();
}

void finishModal(DialogState& d) {
    d.destroyed = true;
    retireHandles(d);
    {
        MutexLock guard(d.lock);
        d.timers.clear();
    }
    stopTimers(d);
    delete d.widget.data();  // no handler of this window is still running
}

}  // namespace

namespace platform::detail {

std::shared_ptr<DialogState> createDialog(LPCSTR name, DLGPROC proc, bool modal) {
    const platform::DialogTemplate* t = findDialogTemplate(name);
    if (!t) return nullptr;
    ensureApplication();
    if (!onGuiThread()) return nullptr;  // widgets live on the application's thread

    auto d = std::make_shared<DialogState>(*t, proc, modal);
    d->hwnd = newWindowHandle();
    for (int i = 0; i < t->controlCount; ++i) {
        auto c = std::make_shared<ControlModel>(t->controls[i], i);
        c->hwnd = newWindowHandle();
        c->dialogHwnd = d->hwnd;
        c->dialog = d;
        d->controls.push_back(std::move(c));
    }
    buildDialogWindow(d);
    publishWindow(d->hwnd, WindowRef{d, nullptr});
    for (const auto& c : d->controls) publishWindow(c->hwnd, WindowRef{nullptr, c});
    return d;
}

bool initDialog(DialogState& d, LPARAM initParam) {
    ControlModel* focus = firstTabStop(d);
    const INT_PTR setFocus =
        callDialogProc(d, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus ? focus->hwnd : nullptr), initParam);
    if (d.ended || d.destroyed) return false;
    runPendingOps();
    if (setFocus && focus) focusControlWidget(*focus);
    showDialogWindow(d);
    return true;
}

}  // namespace platform::detail

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC proc, LPARAM initParam) {
    const auto d = createDialog(templateName, proc, true);
    if (!d) return -1;
    QEventLoop loop;
    d->loop = &loop;
    if (initDialog(*d, initParam) && !d->ended && !d->destroyed) loop.exec();
    d->loop = nullptr;
    const bool ended = d->ended;
    const INT_PTR result = d->result;
    finishModal(*d);
    // A dialog destroyed without EndDialog has no result of its own.
    return ended ? result : 0;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    const auto d = findDialog(dialog);
    if (!d) return FALSE;
    d->result = result;
    d->ended = true;
    postToGui([d] {
        if (d->loop) d->loop->quit();
        if (d->widget) d->widget->hide();
    });
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    const auto d = findDialog(window);
    if (!d || d->destroyed.exchange(true)) return FALSE;
    retireHandles(*d);
    {
        MutexLock guard(d->lock);
        d->timers.clear();
    }
    postToGui([d] { closeDestroyed(*d); });
    return TRUE;
}
