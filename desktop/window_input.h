// Acting on the main window as a person does: each call gives the dialog
// the same messages a click, a key or a slider move gives. Dialog's thread.
#pragma once

#include "platform/win32.h"

// A click on the "Pause" / "Play" button.
void pressPauseButton(HWND mainWindow);

// A click on the "Exit" button.
void pressExitButton(HWND mainWindow);

// The Down (step 1) or Up (step -1) key in the station list: the next or
// previous row is selected and the dialog hears of the selection change.
// At either end of the list nothing happens; with no row selected yet, the
// first row is taken.
void stepStationList(HWND mainWindow, int step);

// The volume slider dragged to position (0..100) and let go.
void moveVolumeSlider(HWND mainWindow, int position);

// The window shown, restored from the taskbar and brought to the front
// with the keyboard input, as the user asked for it (MPRIS Raise, the
// player started again).
void bringWindowForward(HWND mainWindow);
