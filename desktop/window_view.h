// What the main window shows, read through the window layer's messages as
// a screen reader would read it. Text bytes are kept as the controls hold
// them (Windows-1251 or UTF-8).
#pragma once

#include <string>

#include "platform/win32.h"

struct WindowView {
    std::string status;        // connection status line
    std::string address;       // station address line ("not playing" after a stream's end)
    std::string title;         // song title
    std::string format;        // stream format; "" while a connection is being made
    std::string pauseCaption;  // "Pause" or "Play"
    int volume = 0;            // volume slider position, 0..100
    int station = -1;          // selected row of the station list, -1 for none
    int stationCount = 0;      // rows of the station list
    std::string stationName;   // that row's text, "" for none
    bool takesInput = true;    // false while a box of the player is open
};

// Any thread; cheap (a few control messages, no widget is touched).
WindowView readWindowView(HWND mainWindow);

// The text of a control, bytes as held.
std::string controlText(HWND mainWindow, int id);
