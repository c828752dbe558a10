#include "app/program_entry.h"

#include "app/main_window.h"
#include "app/resources/main_dialog.h"
#include "app/resources/resource_ids.h"
#include "platform/single_instance.h"
#include "platform/win32.h"

int programEntry()
{
    // A second player would fight the first for the sound device and the
    // record folder's numbering; it ends quietly instead.
    if (!acquireSingleInstance("tunelark"))
        return 0;
    registerMainDialogResources();
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                            mainDialogProc, 0));
}
