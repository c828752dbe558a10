// The control messages: each reads or changes the control's model at once,
// from any thread; the widget follows later on the dialog's thread.
#pragma once

#include <memory>

#include "platform/window_state.h"

namespace platform::detail {

LRESULT controlMessage(const std::shared_ptr<ControlModel>& c, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT dialogMessage(const std::shared_ptr<DialogState>& d, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform::detail
