// The program's entry: the single-instance guard, then the main dialog.
#pragma once

#include "platform/win32.h"

// Runs the player and returns its exit code. onMainWindowReady, when given,
// is called once on the dialog's thread after a successful start-up, with
// the main window (what joins the player to the desktop starts there).
int programEntry(void (*onMainWindowReady)(HWND mainWindow) = nullptr);
