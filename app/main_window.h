// The main dialog's procedure and its handlers.
#pragma once

#include "platform/win32.h"

INT_PTR mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Handlers, each for one message (exposed for the tests).
void onInitDialog();
void onCommand(int id, int notification, HWND control);
void onTimer();
void onVolumeScroll(HWND slider);
void onEffectScroll(HWND slider);
void onClose();
