// The state behind every HWND: a dialog and its controls. The model parts are
// guarded by their own mutex and may be read or changed from any thread; the
// Qt parts belong to the dialog's thread.
//
// Lock order: a dialog's lock, then a control's lock, then the window
// registry's lock. No lock is held while the dialog procedure, a widget or
// another thread's work runs. (The locks belong to different objects, which
// ACQUIRED_AFTER cannot name; today no code takes two of them at once.)
#pragma once

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/thread_safety.h"
#include "platform/dialog_template.h"
#include "platform/win32.h"

namespace platform::detail {

struct DialogState;

struct ControlState {
    std::string text;                           // window text, bytes as sent
    std::vector<std::string> items;             // list box rows, bytes as sent
    unsigned itemsVersion = 0;                  // changes with every change of items
    int curSel = LB_ERR;                        // list box selection
    int rangeMin = 0, rangeMax = 100, pos = 0;  // trackbar and progress bar
    int pageSize = 20;                          // trackbar: a fifth of the range, as Win32
    std::vector<int> tics;                      // trackbar marks set by TBM_SETTIC
    int check = BST_UNCHECKED;                  // check box and radio button
};

struct ControlModel {
    // The window text starts as the template's caption.
    ControlModel(const ControlTemplate& t, int indexInTemplate) : templ(t), index(indexInTemplate) {
        if (t.caption) state.text = t.caption;
    }

    const ControlTemplate& templ;       // immutable
    const int index;                    // immutable: place in the template
    HWND hwnd = nullptr;                // immutable once published
    HWND dialogHwnd = nullptr;          // immutable once published
    std::weak_ptr<DialogState> dialog;  // immutable once published

    Mutex lock;
    ControlState state GUARDED_BY(lock);
    bool syncPending GUARDED_BY(lock) = false;  // a widget update is queued

    // Dialog's thread only.
    QPointer<QWidget> widget;
    unsigned shownItemsVersion = ~0u;
};

struct TimerEntry {
    unsigned generation;
    UINT elapseMs;
    TIMERPROC proc;
};

struct DialogState {
    // The title starts as the template's.
    DialogState(const DialogTemplate& t, DLGPROC dialogProc, bool isModal)
        : templ(&t), proc(dialogProc), modal(isModal), title(t.title ? t.title : "") {}

    const DialogTemplate* const templ;                    // immutable
    const DLGPROC proc;                                   // immutable
    const bool modal;                                     // immutable
    HWND hwnd = nullptr;                                  // immutable once published
    std::vector<std::shared_ptr<ControlModel>> controls;  // immutable once published

    Mutex lock;
    std::string title GUARDED_BY(lock);
    HICON smallIcon GUARDED_BY(lock) = nullptr;
    HICON bigIcon GUARDED_BY(lock) = nullptr;
    bool syncPending GUARDED_BY(lock) = false;
    std::map<UINT_PTR, TimerEntry> timers GUARDED_BY(lock);  // the timers that run
    unsigned timerGeneration GUARDED_BY(lock) = 0;

    // The window is minimised or covered: control updates wait for it to be
    // seen (read under a control's lock; see window_visibility.h).
    std::atomic<bool> controlsWait{false};
    std::atomic<bool> ended{false};      // EndDialog was called
    std::atomic<bool> destroyed{false};  // DestroyWindow was called or the dialog ended
    std::atomic<INT_PTR> result{0};

    // Dialog's thread only.
    QPointer<QWidget> widget;
    QEventLoop* loop = nullptr;  // the modal loop while it runs
    struct RunningTimer {
        unsigned generation;
        QTimer* timer;
        int interval;  // ms, as set; while controlsWait, a fast one ticks slower
    };
    std::map<UINT_PTR, RunningTimer> runningTimers;
};

// An HWND names exactly one of the two. Handles are never reused, so a stale
// handle finds nothing.
struct WindowRef {
    std::shared_ptr<DialogState> dialog;
    std::shared_ptr<ControlModel> control;
    explicit operator bool() const { return dialog || control; }
};

HWND newWindowHandle();
void publishWindow(HWND hwnd, WindowRef ref);
void retireWindow(HWND hwnd);
WindowRef findWindow(HWND hwnd);
std::shared_ptr<DialogState> findDialog(HWND hwnd);

inline HWND toHwnd(LPARAM l) {
    return reinterpret_cast<HWND>(l);
}
inline LPARAM toLparam(HWND h) {
    return reinterpret_cast<LPARAM>(h);
}

}  // namespace platform::detail
