// The top-level window of a dialog.
#pragma once

#include <memory>

#include "platform/window_state.h"

namespace platform::detail {

// Dialog's thread: builds the hidden window and every control's widget from
// the template and stores them in d and its controls.
void buildDialogWindow(const std::shared_ptr<DialogState>& d);

// Dialog's thread: centres the window on its screen and shows it.
void showDialogWindow(DialogState& d);

// Dialog's thread: shows the title and icons of the model.
void syncDialogWidget(DialogState& d) EXCLUDES(d.lock);

// Any thread, without d.lock held.
void queueDialogSync(const std::shared_ptr<DialogState>& d) EXCLUDES(d->lock);

}  // namespace platform::detail
