// The Qt widget of each control kind, and how it follows the control's model.
#pragma once

#include <QSize>
#include <QWidget>

#include <memory>

#include "platform/window_state.h"

namespace platform::detail {

// Dialog's thread. base: the dialog's base units in pixels.
QWidget* createControlWidget(const std::shared_ptr<DialogState>& d, const std::shared_ptr<ControlModel>& c,
                             QWidget* parent, QSize base);

// Dialog's thread: shows the model's current state.
void syncControlWidget(ControlModel& c) EXCLUDES(c.lock);

// Any thread, without c.lock held: queues one sync unless one already waits.
void queueControlSync(const std::shared_ptr<ControlModel>& c) EXCLUDES(c->lock);

// Dialog's thread: BM_CLICK and WM_ACTIVATE.
void clickControlWidget(ControlModel& c);
void focusControlWidget(ControlModel& c);

}  // namespace platform::detail
