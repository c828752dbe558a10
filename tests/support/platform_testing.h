// Hooks for tests: act as a user would, run the event loop, look at
// the widgets. Every hook must be called on the dialog's thread.
#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>

#include "platform/win32.h"

class QWidget;

namespace platform::testing {

// A left mouse click (press and release) at the centre of a push button,
// check box or radio button, as a user's click arrives: the window gives it
// to whatever takes clicks there.
void click(HWND control);

// The user picks row of a list box, as by clicking it.
void selectListRow(HWND listBox, int row);

// The user moves a trackbar to position; the procedure hears code (TB_*).
void moveTrackbar(HWND trackbar, int position, int code);

// A key (Qt::Key) pressed and released on a control, or, given the dialog,
// on its focused control (the dialog itself when none has the focus).
void pressKey(HWND window, int qtKey);
void pressEscape(HWND dialog);
void pressEnter(HWND dialog);

// The close box (or Alt+F4) of the dialog.
void pressCloseBox(HWND dialog);

// Runs the event loop until until() holds or maxMs pass; returns whether
// until() held (true after maxMs when no predicate is given).
bool pumpEvents(int maxMs, const std::function<bool()>& until = {});

// Applies the widget updates queued so far, now.
void flushUpdates();

// Queued work for the dialog's thread not yet started.
size_t pendingUpdates();

// The control made from entry index of the dialog's template (the way to
// reach the controls with id -1).
HWND templateControl(HWND dialog, int index);

// The widget of a dialog or control (nullptr once destroyed).
QWidget* widgetOf(HWND window);

// What a control shows (a label's, button's or group box's text, a list
// box's selected row) or a dialog's title.
QString shownText(HWND window);

// The value a level meter or slider shows, as a screen reader reads it
// (-1 when it shows none).
int shownValue(HWND control);

// The rows a list box shows.
QStringList shownRows(HWND listBox);

// The control that has, or will have when the window is active, the focus.
HWND focusedControl(HWND dialog);

// Answers MessageBoxA, on the calling thread, instead of showing a box.
// An empty function shows real boxes again.
using MessageBoxInterceptor = std::function<int(HWND owner, const char* text, const char* caption, UINT type)>;
void setMessageBoxInterceptor(MessageBoxInterceptor interceptor);

}  // namespace platform::testing

// A modeless dialog, as Win32's: shown once WM_INITDIALOG returns, alive
// until DestroyWindow, run by whatever event loop the caller runs. The
// player itself only runs modal ones.
extern "C" HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc,
                                   LPARAM initParam);
