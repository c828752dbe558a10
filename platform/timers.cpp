// Window timers: set and killed from any thread, run on the dialog's thread.
#include <time.h>

#include <QCoreApplication>

#include <algorithm>
#include <climits>

#include "platform/dialog_events.h"
#include "platform/gui_thread.h"
#include "platform/window_visibility.h"

using namespace platform::detail;

namespace {

DWORD tickCount() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// Dialog's thread: a tick of timer id, started as generation. A timer killed
// or replaced since then does not deliver.
void onTick(const std::weak_ptr<DialogState>& weak, UINT_PTR id, unsigned generation) {
    const auto d = weak.lock();
    if (!d || d->destroyed) return;
    TIMERPROC proc;
    {
        MutexLock guard(d->lock);
        auto it = d->timers.find(id);
        if (it == d->timers.end() || it->second.generation != generation) return;
        proc = it->second.proc;
    }
    {
        // What the tick changes is shown at once, in one paint pass: no
        // separate trips through Qt's event queue for the widget updates
        // and for the painting.
        const DrainAtEnd drain;
        if (proc) proc(d->hwnd, WM_TIMER, id, tickCount());
        // A box's modal loop goes on dispatching the window's messages, its
        // timers' ticks among them: the meters move behind the Info box.
        else
            callDialogProc(*d, WM_TIMER, id, 0);
    }
    if (d->widget) QCoreApplication::sendPostedEvents(d->widget, QEvent::UpdateRequest);
}

// While nobody can see the window, a timer that runs faster than this runs
// at this pace: what its ticks set stays current for a screen reader and for
// the moment the window is seen again, without twenty wake-ups a second of
// a program minimised for hours.
constexpr int kUnseenIntervalMs = 250;

int paced(const DialogState& d, int interval) {
    return d.controlsWait ? std::max(interval, kUnseenIntervalMs) : interval;
}

void stopRunning(DialogState& d, UINT_PTR id, unsigned generation) {
    auto it = d.runningTimers.find(id);
    if (it == d.runningTimers.end() || it->second.generation != generation) return;
    // Later: the timer may be delivering the tick that led here.
    it->second.timer->stop();
    it->second.timer->deleteLater();
    d.runningTimers.erase(it);
}

void startRunning(const std::shared_ptr<DialogState>& d, UINT_PTR id, unsigned generation, UINT elapseMs) {
    if (d->destroyed) return;
    if (auto it = d->runningTimers.find(id); it != d->runningTimers.end()) stopRunning(*d, id, it->second.generation);
    auto* timer = new QTimer;
    // Win32 runs no timer faster than every 10 ms.
    const int interval = static_cast<int>(std::clamp<UINT>(elapseMs, 10, INT_MAX));
    timer->setInterval(paced(*d, interval));
    std::weak_ptr<DialogState> weak = d;
    QObject::connect(timer, &QTimer::timeout, timer, [weak, id, generation] { onTick(weak, id, generation); });
    timer->start();
    d->runningTimers[id] = {generation, timer, interval};
}

}  // namespace

namespace platform::detail {

void paceDialogTimers(DialogState& d) {
    for (auto& [id, running] : d.runningTimers) {
        const int interval = paced(d, running.interval);
        if (running.timer->interval() != interval) running.timer->setInterval(interval);
    }
}

}  // namespace platform::detail

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    const auto d = findDialog(window);
    if (!d || d->destroyed) return 0;
    unsigned generation;
    {
        MutexLock guard(d->lock);
        generation = ++d->timerGeneration;
        d->timers[id] = TimerEntry{generation, elapseMs, proc};
    }
    postToGui([d, id, generation, elapseMs] { startRunning(d, id, generation, elapseMs); });
    return id ? id : 1;  // success is nonzero even for timer 0
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    const auto d = findDialog(window);
    if (!d) return FALSE;
    unsigned generation;
    {
        MutexLock guard(d->lock);
        auto it = d->timers.find(id);
        if (it == d->timers.end()) return FALSE;
        generation = it->second.generation;
        d->timers.erase(it);
    }
    postToGui([d, id, generation] { stopRunning(*d, id, generation); });
    return TRUE;
}
