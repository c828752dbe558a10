// Screen-reader roles Qt cannot guess for the layer's widgets.
#pragma once

class QWidget;

namespace platform::detail {

// A radio button whose group follows Win32's rule instead of Qt's
// auto-exclusion still reads as a radio button.
void markAsRadioButton(QWidget* widget);

// The top-level window of a dialog reads as a dialog.
void markAsDialog(QWidget* widget);

// Once per process, with the QApplication.
void installAccessibleRoles();

}  // namespace platform::detail
