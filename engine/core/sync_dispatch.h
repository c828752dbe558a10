// The engine's own thread for work that must not run on the output's thread
// or on the caller's: END syncs, freeing streams that ended (AUTOFREE), and
// joins deferred from inside a stream's own callbacks.
#pragma once

#include <functional>
#include <memory>

namespace engine {

class SyncDispatcher {
public:
    // onWake runs on the dispatcher's thread after every signal().
    explicit SyncDispatcher(std::function<void()> onWake);
    ~SyncDispatcher();  // shutdown()
    SyncDispatcher(const SyncDispatcher&) = delete;
    SyncDispatcher& operator=(const SyncDispatcher&) = delete;

    // Runs what was posted, then ends the thread: joins it, or, when called
    // on that thread itself (from a callback), lets it end on its own.
    // Idempotent.
    void shutdown();
    // Any thread: runs task on the dispatcher's thread, in posting order;
    // false (task dropped) once shutdown() has begun.
    bool post(std::function<void()> task);
    // Any thread, the output's included: no lock, no allocation.
    void signal();

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace engine
