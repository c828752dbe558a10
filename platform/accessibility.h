// Screen-reader roles Qt cannot guess for the layer's widgets.
#pragma once

class QWidget;

namespace platform::detail {

// A radio button whose group follows Win32's rule instead of Qt's
// auto-exclusion still reads as a radio button; its actions click it.
void markAsRadioButton(QWidget* widget);

// A check box: its actions click it, so the dialog hears them.
void markAsCheckBox(QWidget* widget);

// A trackbar widget (a QAbstractSlider that is a UserValueTarget): a value
// set by an assistive tool goes to setValueAsUser.
void markAsTrackbar(QWidget* widget);

class UserValueTarget {
public:
    // Dialog's thread: a value within the widget's range, set as a user's
    // move sets it.
    virtual void setValueAsUser(int value) = 0;

protected:
    ~UserValueTarget() = default;
};

// A notification: screen readers speak it when it shows.
void markAsNotification(QWidget* widget);

// The top-level window of a dialog reads as a dialog.
void markAsDialog(QWidget* widget);

// Once per process, with the QApplication.
void installAccessibleRoles();

}  // namespace platform::detail
