// The engine error box: the message, the engine's error code, "BASS Error!".
#pragma once

// Shows "<message>\n(error code: <code>)" owned by the main window and
// returns when the box is closed.
void showEngineError(const char* message, int code);
