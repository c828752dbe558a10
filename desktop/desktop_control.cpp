#include "desktop/desktop_control.h"

#include "desktop/mpris_service.h"

void startDesktopControl(HWND mainWindow)
{
    startMprisService(mainWindow);
}
