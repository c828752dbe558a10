// The syncs set on a channel, and the gate every call into the program for
// that channel passes: once closed, no call starts, and waitIdle() returns
// when the running ones have returned. One lock, a leaf, never held while a
// callback runs.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

#include "engine/bass.h"

namespace engine {

struct Sync {
    DWORD handle;
    DWORD type;
    bool oneTime;
    SYNCPROC* proc;
    void* user;
};

class SyncList {
public:
    void add(const Sync& sync);
    bool remove(DWORD handle);

    // The syncs of `type`, in the order set; one-time ones leave the list.
    // When any is due it counts as a running call (leave() when done);
    // empty, with nothing counted, when none is or the list is closed.
    std::vector<Sync> takeDue(DWORD type);

    // Counts a running call; false once closed.
    bool enter();
    void leave();

    // No call starts after this.
    void close();
    // Waits until no call is running.
    void waitIdle();

private:
    std::mutex mutex_;
    std::condition_variable idle_;
    std::vector<Sync> syncs_;  // guarded by mutex_
    int running_ = 0;          // guarded by mutex_
    bool closed_ = false;      // guarded by mutex_
};

}  // namespace engine
