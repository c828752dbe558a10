// Switching to a window at the user's request.
#pragma once

#include "platform/win32.h"

// A dialog's window restored, raised and given the keyboard input, as the
// task switcher does: for a request the user made elsewhere (the player
// started again, the desktop's sound menu), which the window system's
// rules against programs taking the focus by themselves must not stop.
// Any thread; the window changes on the dialog's thread.
void SwitchToThisWindow(HWND window, BOOL altTab);
