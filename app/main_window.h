// The main dialog's procedure and its handlers.
#pragma once

#include "platform/win32.h"

INT_PTR mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The handlers of the messages that have a file of their own.
void onInitDialog();
void onCommand(int id, int notification, HWND control);

// The slider position for an engine volume of 0..1: the product taken in
// double from the 32-bit float and truncated, so 0.57f (0.56999999...) gives 56.
int volumeToPercent(float volume);
