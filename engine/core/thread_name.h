// The engine's threads go by names of their own in top, perf, a debugger and
// /proc/<pid>/task/*/comm, so a thread that outlives its work can be told.
#pragma once

#include <pthread.h>

namespace engine {

// At most 15 characters; a longer name is refused and the thread keeps the
// program's.
inline void nameThisThread(const char* name) {
    pthread_setname_np(pthread_self(), name);
}

}  // namespace engine
