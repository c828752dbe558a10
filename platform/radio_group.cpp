#include "platform/radio_group.h"

#include <QAbstractButton>

namespace platform::detail {

bool startsGroup(const ControlModel& c) {
    return c.index == 0 || (c.templ.style & WS_GROUP);
}

bool isAutoRadio(const ControlModel& c) {
    return c.templ.kind == ControlKind::RadioButton && (c.templ.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

namespace {

// The template indexes [first, end) of the group that holds c.
std::pair<size_t, size_t> groupOf(const DialogState& d, const ControlModel& c) {
    size_t first = size_t(c.index);
    while (first > 0 && !startsGroup(*d.controls[first])) --first;
    size_t end = size_t(c.index) + 1;
    while (end < d.controls.size() && !startsGroup(*d.controls[end])) ++end;
    return {first, end};
}

bool isChecked(ControlModel& c) {
    MutexLock guard(c.lock);
    return c.state.check == BST_CHECKED;
}

}  // namespace

void updateRadioTabStop(DialogState& d, const ControlModel& c) {
    if (!isAutoRadio(c) || d.controls.empty()) return;
    const auto [first, end] = groupOf(d, c);
    ControlModel* stop = nullptr;
    for (size_t i = first; i < end && !stop; ++i)
        if (isAutoRadio(*d.controls[i]) && isChecked(*d.controls[i])) stop = d.controls[i].get();
    for (size_t i = first; i < end && !stop; ++i)
        if (isAutoRadio(*d.controls[i]) && (d.controls[i]->templ.style & WS_TABSTOP)) stop = d.controls[i].get();
    if (!stop) return;  // a group that takes no Tab keeps it so
    for (size_t i = first; i < end; ++i) {
        ControlModel& member = *d.controls[i];
        if (!isAutoRadio(member) || !member.widget) continue;
        member.widget->setFocusPolicy(&member == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

bool moveInRadioGroup(DialogState& d, const ControlModel& c, bool forward) {
    const auto [first, end] = groupOf(d, c);
    const size_t size = end - first;
    for (size_t step = 1; step < size; ++step) {
        const size_t offset = (size_t(c.index) - first + (forward ? step : size - step)) % size;
        ControlModel& next = *d.controls[first + offset];
        QWidget* widget = next.widget.data();
        if (!widget || !widget->isEnabled() || widget->isHidden() || widget->focusPolicy() == Qt::NoFocus) continue;
        widget->setFocus(Qt::OtherFocusReason);
        if (auto* button = qobject_cast<QAbstractButton*>(widget); button && isAutoRadio(next)) button->click();
        return true;
    }
    return false;
}

}  // namespace platform::detail
