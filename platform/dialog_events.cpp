#include "platform/dialog_events.h"

#include <QAbstractButton>
#include <QPushButton>

#include <algorithm>

#include "platform/control_widgets.h"
#include "platform/gui_thread.h"
#include "platform/radio_group.h"

namespace platform::detail {

namespace {

bool isAutoCheck(const ControlModel& c) {
    return c.templ.kind == ControlKind::CheckBox && (c.templ.style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
}

void setCheck(ControlModel& c, int check) {
    {
        MutexLock guard(c.lock);
        c.state.check = check;
    }
    syncControlWidget(c);
}

}  // namespace

INT_PTR callDialogProc(DialogState& d, UINT message, WPARAM wParam, LPARAM lParam) {
    if (d.destroyed || !d.proc) return 0;
    return d.proc(d.hwnd, message, wParam, lParam);
}

void sendCommand(DialogState& d, int id, WORD code, HWND control) {
    callDialogProc(d, WM_COMMAND, MAKEWPARAM(id, code), toLparam(control));
}

HWND controlHandle(const DialogState& d, int id) {
    for (const auto& c : d.controls)
        if (c->templ.id == id) return c->hwnd;
    return nullptr;
}

ControlModel* controlOfWidget(const DialogState& d, const QWidget* widget) {
    for (const auto& c : d.controls)
        if (widget && c->widget == widget) return c.get();
    return nullptr;
}

void userClicked(DialogState& d, ControlModel& c) {
    sendCommand(d, c.templ.id, BN_CLICKED, c.hwnd);
}

void userToggledCheck(DialogState&, ControlModel& c) {
    if (!isAutoCheck(c)) return;
    int check;
    {
        MutexLock guard(c.lock);
        check = c.state.check == BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
    }
    setCheck(c, check);
}

// Win32's rule: a group runs from a WS_GROUP control (or the first control)
// up to the next WS_GROUP control; a click on an automatic radio button
// clears the other automatic radio buttons of its group.
void userChoseRadio(DialogState& d, ControlModel& c) {
    if (!isAutoRadio(c)) return;
    size_t first = c.index;
    while (first > 0 && !startsGroup(*d.controls[first])) --first;
    for (size_t i = first; i < d.controls.size(); ++i) {
        ControlModel& member = *d.controls[i];
        if (i > first && startsGroup(member)) break;
        if (&member == &c)
            setCheck(member, BST_CHECKED);
        else if (isAutoRadio(member))
            setCheck(member, BST_UNCHECKED);
    }
}

void userSelectedRow(DialogState& d, ControlModel& c, int row) {
    {
        MutexLock guard(c.lock);
        c.state.curSel = row;
    }
    if (c.templ.style & LBS_NOTIFY) sendCommand(d, c.templ.id, LBN_SELCHANGE, c.hwnd);
}

void userMovedTrackbar(DialogState& d, ControlModel& c, int position, int code) {
    {
        MutexLock guard(c.lock);
        c.state.pos = std::clamp(position, c.state.rangeMin, c.state.rangeMax);
        position = c.state.pos;
    }
    // As Win32: the high word carries the position only for the thumb codes.
    const WORD high = (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) ? static_cast<WORD>(position) : 0;
    const UINT message = (c.templ.style & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    callDialogProc(d, message, MAKEWPARAM(code, high), toLparam(c.hwnd));
}

void userPressedEscape(DialogState& d) {
    sendCommand(d, IDCANCEL, BN_CLICKED, controlHandle(d, IDCANCEL));
}

// Enter on a push button presses that button; anywhere else it is the
// default command, IDOK, since the template has no default button.
void userPressedEnter(DialogState& d, QWidget* focused) {
    ControlModel* c = controlOfWidget(d, focused);
    if (c && c->templ.kind == ControlKind::PushButton) {
        if (auto* button = qobject_cast<QAbstractButton*>(focused)) button->click();
        return;
    }
    sendCommand(d, IDOK, BN_CLICKED, controlHandle(d, IDOK));
}

// The layer never closes the window itself. A procedure that leaves WM_CLOSE
// unhandled gets IDCANCEL afterwards, as Win32's default dialog handling
// posts it.
void userClosed(DialogState& d) {
    if (callDialogProc(d, WM_CLOSE, 0, 0) != 0) return;
    const HWND dialog = d.hwnd;
    postToGui([dialog] {
        if (auto state = findDialog(dialog)) userPressedEscape(*state);
    });
}

}  // namespace platform::detail
