#include "app/program_entry.h"

#include "app/main_window.h"
#include "app/resources/main_dialog.h"
#include "platform/single_instance.h"
#include "state/resource_ids.h"

namespace {

void (*mainWindowReady)(HWND) = nullptr;

// The main dialog's procedure, and after its start-up the hook, as a
// subclassed window procedure would add it. A start-up that failed has
// destroyed the window, and the hook is not called.
INT_PTR entryDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const INT_PTR result = mainDialogProc(window, message, wParam, lParam);
    if (message == WM_INITDIALOG && mainWindowReady && IsWindow(window)) mainWindowReady(window);
    return result;
}

}  // namespace

int programEntry(void (*onMainWindowReady)(HWND mainWindow)) {
    // A second player would fight the first for the sound device and the
    // record folder's numbering. It asks the running one to come forward
    // (the user started the player to see it) and ends.
    if (!acquireSingleInstance("tunelark")) {
        knockOnRunningInstance("tunelark");
        return 0;
    }
    registerMainDialogResources();
    mainWindowReady = onMainWindowReady;
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                            onMainWindowReady ? entryDialogProc : mainDialogProc, 0));
}
