// SendMessageA and the dialog-item calls built on it.
#include "platform/control_messages.h"
#include "platform/dialog_events.h"

using namespace platform::detail;

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WindowRef ref = findWindow(window);
    if (ref.control) return controlMessage(ref.control, message, wParam, lParam);
    if (ref.dialog) return dialogMessage(ref.dialog, message, wParam, lParam);
    return 0;
}

HWND GetDlgItem(HWND dialog, int id) {
    const auto d = findDialog(dialog);
    return d ? controlHandle(*d, id) : nullptr;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(GetDlgItem(dialog, id), message, wParam, lParam);
}

int GetDlgCtrlID(HWND control) {
    const WindowRef ref = findWindow(control);
    return ref.control ? ref.control->templ.id : 0;
}

BOOL IsWindow(HWND window) {
    return findWindow(window) ? TRUE : FALSE;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    const HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    return static_cast<BOOL>(SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

UINT GetDlgItemTextA(HWND dialog, int id, char* text, int capacity) {
    const HWND control = GetDlgItem(dialog, id);
    if (!control) {
        if (text && capacity > 0) text[0] = '\0';
        return 0;
    }
    const WPARAM size = capacity > 0 ? static_cast<WPARAM>(capacity) : 0;
    return static_cast<UINT>(SendMessageA(control, WM_GETTEXT, size, reinterpret_cast<LPARAM>(text)));
}
