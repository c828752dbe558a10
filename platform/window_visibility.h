// Whether a dialog's window can be seen. While it is minimised or fully
// covered by other windows its controls' models keep changing (a timer goes
// on setting the level meters and the load text, at a slower pace), but
// their widgets wait:
// nothing is drawn that nobody would see. When the window can be seen again,
// every control that changed meanwhile is shown as its model stands.
#pragma once

#include <memory>

#include "platform/window_state.h"

namespace platform::detail {

// Dialog's thread, once the dialog's widget exists: follows its window's
// state from then on.
void watchWindowVisibility(const std::shared_ptr<DialogState>& d);

// Dialog's thread, when controlsWait changes: the dialog's fast timers tick
// slower while the window cannot be seen, and at their own pace again once
// it can (timers.cpp).
void paceDialogTimers(DialogState& d);

}  // namespace platform::detail
