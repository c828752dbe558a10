#include "state/error_box.h"

#include <cstdio>

#include "state/player_state.h"

void showEngineError(const char* message, int code) {
    char text[200];
    snprintf(text, sizeof text, "%s\n(error code: %d)", message, code);
    MessageBoxA(player.mainWindow, text, "BASS Error!", MB_OK | MB_ICONWARNING);
}
