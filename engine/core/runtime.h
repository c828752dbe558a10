// The running engine between BASS_Init and BASS_Free: the output, its mixer
// and the dispatcher thread. Calls take a reference to it and use it with no
// lock held; BASS_Free detaches it first, so a call racing with BASS_Free
// either sees the old runtime (still whole until the last reference goes) or
// none.
#pragma once

#include <memory>
#include <mutex>

#include "engine/bass.h"
#include "engine/core/mixer.h"
#include "engine/core/sync_dispatch.h"
#include "engine/output/output.h"

namespace engine {

struct Runtime {
    int device = 0;        // immutable after BASS_Init
    DWORD initFlags = 0;   // immutable
    bool usesSdl = false;  // immutable
    out::Format format;    // immutable
    // The pointers are immutable after BASS_Init; BASS_Free stops the output
    // (resetting it: no other thread touches it) and shuts the dispatcher
    // down, which other threads may still post to and be refused.
    std::unique_ptr<Mixer> mixer;
    std::unique_ptr<out::Output> output;
    std::unique_ptr<SyncDispatcher> dispatcher;
};

// Guards which runtime is current (and, in the stream table, that a stream is
// registered only with the runtime that is current). Held briefly, never
// while a callback runs or a thread is joined.
std::mutex& runtimeMutex();

// The current runtime, or null before BASS_Init / after BASS_Free.
std::shared_ptr<Runtime> currentRuntime();
// Needs runtimeMutex() held.
std::shared_ptr<Runtime>& currentRuntimeLocked();

// The current runtime; null with BASS_ERROR_INIT set when there is none.
std::shared_ptr<Runtime> requireRuntime();

}  // namespace engine
