// What reaches the dialog procedure, on the dialog's thread: user actions on
// the widgets become the Win32 messages a dialog would get.
#pragma once

#include <QWidget>

#include "platform/window_state.h"

namespace platform::detail {

// Calls the procedure; 0 once the dialog is destroyed.
INT_PTR callDialogProc(DialogState& d, UINT message, WPARAM wParam, LPARAM lParam);

// WM_COMMAND with MAKEWPARAM(id, code) and the control as lParam.
void sendCommand(DialogState& d, int id, WORD code, HWND control);

// The first control with this id, or nullptr.
HWND controlHandle(const DialogState& d, int id);

// The control shown by this widget, or nullptr.
ControlModel* controlOfWidget(const DialogState& d, const QWidget* widget);

// Each updates the model first, then tells the procedure.
void userClicked(DialogState& d, ControlModel& c);
void userToggledCheck(DialogState& d, ControlModel& c);  // the check mark only
void userChoseRadio(DialogState& d, ControlModel& c);    // the check marks of the group only
void userSelectedRow(DialogState& d, ControlModel& c, int row);
void userMovedTrackbar(DialogState& d, ControlModel& c, int position, int code);
void userPressedEscape(DialogState& d);
void userPressedEnter(DialogState& d, QWidget* focused);
void userClosed(DialogState& d);

}  // namespace platform::detail
