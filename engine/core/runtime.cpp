#include "engine/core/runtime.h"

#include "engine/api/errors.h"

namespace engine {

namespace {
// Never destroyed: engine threads may still ask for it while the process exits.
std::mutex* const mutex = new std::mutex;
std::shared_ptr<Runtime>* const current = new std::shared_ptr<Runtime>;
}  // namespace

std::mutex& runtimeMutex() {
    return *mutex;
}

std::shared_ptr<Runtime> currentRuntime() {
    std::lock_guard lock(*mutex);
    return *current;
}

std::shared_ptr<Runtime>& currentRuntimeLocked() {
    return *current;
}

std::shared_ptr<Runtime> requireRuntime() {
    auto runtime = currentRuntime();
    if (!runtime) setError(BASS_ERROR_INIT);
    return runtime;
}

}  // namespace engine
