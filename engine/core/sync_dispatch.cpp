#include "engine/core/sync_dispatch.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <semaphore>
#include <thread>

#include "engine/core/thread_name.h"

namespace engine {

struct SyncDispatcher::State {
    std::function<void()> onWake;  // immutable
    std::binary_semaphore wake{0};
    std::atomic<bool> wakePending{false};
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::deque<std::function<void()>> tasks;  // guarded by mutex
    bool accepting = true;                    // guarded by mutex
    std::mutex threadMutex;
    std::thread thread;  // started by the constructor; ended under threadMutex

    void signal() {
        if (!wakePending.exchange(true)) wake.release();
    }

    void runTasks() {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex);
            batch.swap(tasks);
        }
        for (auto& task : batch) task();
    }

    static void run(std::shared_ptr<State> self) {
        nameThisThread("tl-syncs");
        for (;;) {
            self->wake.acquire();
            // Cleared before the work: a signal raised during it wakes us again.
            self->wakePending.store(false);
            self->runTasks();
            if (self->onWake) self->onWake();
            if (self->stopping.load()) {
                self->runTasks();
                return;
            }
        }
    }
};

SyncDispatcher::SyncDispatcher(std::function<void()> onWake) : state_(std::make_shared<State>()) {
    state_->onWake = std::move(onWake);
    state_->thread = std::thread(&State::run, state_);
}

SyncDispatcher::~SyncDispatcher() {
    shutdown();
}

void SyncDispatcher::shutdown() {
    {
        std::lock_guard lock(state_->mutex);
        state_->accepting = false;
    }
    state_->stopping.store(true);
    state_->signal();
    std::lock_guard lock(state_->threadMutex);
    if (!state_->thread.joinable()) return;
    if (std::this_thread::get_id() == state_->thread.get_id())
        state_->thread.detach();
    else
        state_->thread.join();
}

bool SyncDispatcher::post(std::function<void()> task) {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->accepting) return false;
        state_->tasks.push_back(std::move(task));
    }
    state_->signal();
    return true;
}

void SyncDispatcher::signal() {
    state_->signal();
}

}  // namespace engine
