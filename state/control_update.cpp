#include "state/control_update.h"

#include <atomic>
#include <map>
#include <mutex>

#include "state/player_state.h"

namespace {

std::atomic<uint64_t> lastDecided{0};
// Never destroyed, like the player's state: a connect thread that outlives
// exit may still send.
std::map<int, uint64_t>& lastSent GUARDED_BY(player.sendLock) =
    *new std::map<int, uint64_t>;  // control id -> order of its last update

}  // namespace

ControlUpdate decideText(int control, std::string text) {
    return ControlUpdate{control, WM_SETTEXT, 0, std::move(text), ++lastDecided};
}

ControlUpdate decideCheck(int control, bool checked) {
    return ControlUpdate{control, BM_SETCHECK, static_cast<WPARAM>(checked ? BST_CHECKED : BST_UNCHECKED),
                         std::string(), ++lastDecided};
}

void sendUpdate(const ControlUpdate& update) {
    if (update.control == 0) return;
    MutexLock lock(player.sendLock);
    uint64_t& sent = lastSent[update.control];
    if (update.order < sent) return;
    sent = update.order;
    LPARAM text = update.message == WM_SETTEXT ? reinterpret_cast<LPARAM>(update.text.c_str()) : 0;
    SendDlgItemMessageA(player.mainWindow, update.control, update.message, update.wParam, text);
}
