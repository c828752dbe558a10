// Making a dialog from its template and starting it, shared by the ways a
// dialog runs.
#pragma once

#include <memory>

#include "platform/window_state.h"

namespace platform::detail {

// The dialog and its controls, built and published but not shown yet;
// nullptr for an unknown template or off the dialog's thread.
std::shared_ptr<DialogState> createDialog(LPCSTR name, DLGPROC proc, bool modal);

// WM_INITDIALOG, then the default focus, then the window appears with every
// update the procedure made. False when the procedure ended the dialog.
bool initDialog(DialogState& d, LPARAM initParam);

}  // namespace platform::detail
