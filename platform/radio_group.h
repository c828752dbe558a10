// Keyboard access to a group of automatic radio buttons, as Win32's dialog
// manager gives it: Tab stops at the group's checked button, the arrow keys
// move within the group and choose the button they reach.
#pragma once

#include "platform/window_state.h"

namespace platform::detail {

// A control that starts a group: the template's first, or one with WS_GROUP.
bool startsGroup(const ControlModel& c);
// An automatic radio button, whose check the dialog manager keeps.
bool isAutoRadio(const ControlModel& c);

// Dialog's thread, after a check mark of c's group changed: the checked
// button (or, with none checked, the template's tab stop) takes Tab.
void updateRadioTabStop(DialogState& d, const ControlModel& c);

// Dialog's thread: the arrow keys on radio button c. Moves the focus to the
// next (or previous) enabled control of its group, wrapping around, and
// clicks it when it is a radio button. Returns false when there is none.
bool moveInRadioGroup(DialogState& d, const ControlModel& c, bool forward);

}  // namespace platform::detail
