// While a box is open its owner takes no input, as on Win32.
#pragma once

#include <atomic>
#include <optional>

#include "platform/win32.h"

namespace platform::detail {

// Where a program linked with this layer may answer MessageBoxA itself,
// on the calling thread, instead of a box being shown: the answer, or
// nothing to show the box. The player sets none.
using MessageBoxStandIn = std::optional<int> (*)(HWND owner, const char* text, const char* caption, UINT type);
extern std::atomic<MessageBoxStandIn> messageBoxStandIn;

}  // namespace platform::detail

namespace platform {

// Closes every message box owned by owner as a person would: by its only
// button, or as Cancel when it has several (MessageBoxA then returns 0).
// Any thread; the boxes close on the dialog's thread, a box asked for by
// another thread and not shown yet is left to close with its owner.
void closeMessageBoxes(HWND owner);

}  // namespace platform

using platform::closeMessageBoxes;

// FALSE while a message box owned by window is open (from the moment
// MessageBoxA is called, from any thread, until it returns): Win32 disables
// a box's owner meanwhile, so clicks and keys on it are refused. Any thread.
BOOL IsWindowEnabled(HWND window);
