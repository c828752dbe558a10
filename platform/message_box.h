// Message boxes may be replaced, for tests, by a function that answers them.
#pragma once

#include <functional>

#include "platform/win32.h"

namespace platform::detail {

using MessageBoxHandler = std::function<int(HWND owner, const char* text, const char* caption, UINT type)>;

// An empty handler shows real boxes again.
void setMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform::detail
