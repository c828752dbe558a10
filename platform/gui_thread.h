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

// Number of ops queued and not yet started.
size_t pendingOpCount();

}  // namespace platform::detail
