// Dialog units to pixels, as the Windows dialog manager converts them: from
// the dialog font's average letter width and its height.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "platform/dialog_template.h"

namespace platform::detail {

// The template's font; "MS Shell Dlg" and "MS Sans Serif" stand for the
// platform's own dialog font at the template's point size.
QFont dialogFont(const DialogTemplate& t);

// (average width of "A".."Z" "a".."z", font height) in pixels.
QSize dialogBaseUnits(const QFont& font);

// x and width scale by base.width() / 4, y and height by base.height() / 8,
// rounded as MulDiv rounds.
QRect dialogUnitsToPixels(const QRect& units, const QSize& base);

}  // namespace platform::detail
