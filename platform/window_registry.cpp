#include <cstdint>
#include <unordered_map>

#include "platform/window_state.h"

namespace platform::detail {

namespace {

// lock comes last in the window layer's lock order (window_state.h).
struct Registry {
    Mutex lock;
    std::unordered_map<uintptr_t, WindowRef> windows GUARDED_BY(lock);
    uintptr_t next GUARDED_BY(lock) = 0x100;
};

Registry& registry() {
    static auto* r = new Registry;  // never destroyed: threads may send during exit
    return *r;
}

}  // namespace

HWND newWindowHandle() {
    MutexLock guard(registry().lock);
    return reinterpret_cast<HWND>(registry().next++);
}

void publishWindow(HWND hwnd, WindowRef ref) {
    MutexLock guard(registry().lock);
    registry().windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(ref);
}

void retireWindow(HWND hwnd) {
    WindowRef gone;  // released after the lock
    MutexLock guard(registry().lock);
    auto it = registry().windows.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == registry().windows.end()) return;
    gone = std::move(it->second);
    registry().windows.erase(it);
}

WindowRef findWindow(HWND hwnd) {
    if (!hwnd) return {};
    MutexLock guard(registry().lock);
    auto it = registry().windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == registry().windows.end() ? WindowRef{} : it->second;
}

std::shared_ptr<DialogState> findDialog(HWND hwnd) {
    return findWindow(hwnd).dialog;
}

}  // namespace platform::detail
