// Control changes decided under player.recordLock and sent after it is
// released. Two threads may send in the opposite order to the one they
// decided in; each decision carries its place in the order, and one that is
// older than what a control last received is dropped, so every control ends
// up showing the latest decision.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

struct ControlUpdate {
    int control = 0;   // 0: nothing to send
    UINT message = 0;  // WM_SETTEXT or BM_SETCHECK
    WPARAM wParam = 0;
    std::string text;  // for WM_SETTEXT
    uint64_t order = 0;
};

// Any thread. Decisions about recording state are made under recordLock so
// that their order is the order of the state changes.
ControlUpdate decideText(int control, std::string text);
ControlUpdate decideCheck(int control, bool checked);

// Any thread, without recordLock. Sends the update to the main window unless a
// later decision already reached the control. The window call returns at
// once (it never waits for the dialog's thread), so the short lock that keeps
// "later than the last sent" and the send together cannot stall anyone.
void sendUpdate(const ControlUpdate& update);
