// The queue behind postToGui: the work other threads hand the dialog's
// thread, in the order it was queued.
#pragma once

#include <deque>
#include <functional>

#include "base/thread_safety.h"

namespace platform::detail {

// lock is a leaf: nothing else is taken while it is held, and no op runs
// under it.
struct OpQueue {
    Mutex lock;
    std::deque<std::function<void()>> ops GUARDED_BY(lock);  // queued, not yet started
    bool drainPosted GUARDED_BY(lock) = false;               // a drain event waits in Qt's queue
};

// Never destroyed: threads may still post while the process exits.
OpQueue& opQueue();

}  // namespace platform::detail
