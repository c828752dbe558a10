#include "desktop/window_input.h"

#include "platform/switch_window.h"
#include "state/resource_ids.h"

void pressPauseButton(HWND mainWindow) {
    SendDlgItemMessageA(mainWindow, IDC_PAUSE, BM_CLICK, 0, 0);
}

void pressExitButton(HWND mainWindow) {
    SendDlgItemMessageA(mainWindow, IDC_EXIT, BM_CLICK, 0, 0);
}

void stepStationList(HWND mainWindow, int step) {
    HWND list = GetDlgItem(mainWindow, IDC_STATIONS);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    const int current = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    const int next = current < 0 ? 0 : current + step;
    if (next < 0 || next >= count) return;
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
    SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_STATIONS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void moveVolumeSlider(HWND mainWindow, int position) {
    HWND slider = GetDlgItem(mainWindow, IDC_VOLUME);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    // The position the slider took (it keeps to its range), as a drag
    // reports it when the mouse is let go.
    const int placed = static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0));
    const LPARAM from = reinterpret_cast<LPARAM>(slider);
    SendMessageA(mainWindow, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, placed), from);
    SendMessageA(mainWindow, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), from);
}

void bringWindowForward(HWND mainWindow) {
    SwitchToThisWindow(mainWindow, TRUE);
}
