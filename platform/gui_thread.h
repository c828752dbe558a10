// The dialog's thread: the thread that owns the QApplication. Other threads
// hand it work through one ordered queue and never wait for it.
#pragma once

#include <cstddef>
#include <functional>

namespace platform::detail {

// Creates the QApplication on the calling thread when there is none yet;
// that thread becomes the dialog's thread.
void ensureApplication();

// True on the dialog's thread (false while there is no QApplication).
bool onGuiThread();

// Queues op to run on the dialog's thread after every op queued before it.
// Returns at once, from any thread.
void postToGui(std::function<void()> op);

// Dialog's thread: runs the ops queued so far, in order.
void runPendingOps();

// Dialog's thread: while one lives, the ops this thread queues wait for
// it instead of for a trip through Qt's event queue; the outermost one runs
// every op queued so far, in order, when it ends. A nested event loop
// started meanwhile (a message box) runs them as before.
class DrainAtEnd {
public:
    DrainAtEnd();
    ~DrainAtEnd();
    DrainAtEnd(const DrainAtEnd&) = delete;
    DrainAtEnd& operator=(const DrainAtEnd&) = delete;
};

}  // namespace platform::detail
