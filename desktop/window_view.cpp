#include "desktop/window_view.h"

#include <vector>

#include "platform/message_box.h"
#include "state/resource_ids.h"

namespace {

std::string listRowText(HWND list, int row) {
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length <= 0) return {};
    // LB_GETTEXT takes no capacity; rows are only added by the dialog's own
    // thread at start-up, so the length read just before still holds.
    std::vector<char> text(static_cast<size_t>(length) + 1);
    if (SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data())) == LB_ERR)
        return {};
    return std::string(text.data());
}

}  // namespace

std::string controlText(HWND mainWindow, int id) {
    HWND control = GetDlgItem(mainWindow, id);
    const LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    // A text made longer meanwhile by another thread is cut here and read
    // whole next time.
    std::vector<char> text(static_cast<size_t>(length) + 1);
    const LRESULT copied = SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

WindowView readWindowView(HWND mainWindow) {
    WindowView view;
    view.status = controlText(mainWindow, IDC_STATUS);
    view.address = controlText(mainWindow, IDC_URL);
    view.title = controlText(mainWindow, IDC_TITLE);
    view.format = controlText(mainWindow, IDC_FORMAT);
    view.pauseCaption = controlText(mainWindow, IDC_PAUSE);
    view.volume = static_cast<int>(SendDlgItemMessageA(mainWindow, IDC_VOLUME, TBM_GETPOS, 0, 0));
    HWND list = GetDlgItem(mainWindow, IDC_STATIONS);
    view.station = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    view.stationCount = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (view.station >= 0) view.stationName = listRowText(list, view.station);
    view.takesInput = IsWindowEnabled(mainWindow);
    return view;
}
