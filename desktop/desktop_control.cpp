#include "desktop/desktop_control.h"

#include "desktop/mpris_service.h"
#include "desktop/window_input.h"
#include "platform/single_instance.h"

void startDesktopControl(HWND mainWindow) {
    startMprisService(mainWindow);
    // The program's entry holds the guard "tunelark"; a later start of the
    // player knocks on its channel, bus or none, and this window comes forward.
    watchForKnocks("tunelark", [mainWindow] { bringWindowForward(mainWindow); });
}
