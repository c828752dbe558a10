// What joins the player to the Linux desktop beyond its window.
#pragma once

#include "platform/win32.h"

// Dialog's thread, once the main window has been made: the media keys,
// panel widgets and playerctl reach the player through MPRIS2 on the
// session bus (when the session has one), and a later start of the player
// brings this window forward.
void startDesktopControl(HWND mainWindow);
