// The queue behind postToGui: the work other threads hand the dialog's
// thread, in the order it was queued.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace platform::detail {

struct OpQueue {
    std::mutex lock;
    std::deque<std::function<void()>> ops;  // guarded by lock: queued, not yet started
    bool drainPosted = false;               // guarded by lock: a drain event waits in Qt's queue
};

// Never destroyed: threads may still post while the process exits.
OpQueue& opQueue();

}  // namespace platform::detail
