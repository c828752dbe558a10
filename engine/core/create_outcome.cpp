#include "engine/core/create_outcome.h"

#include <chrono>

#include "engine/bass.h"

namespace engine {

bool CreateOutcome::settle(int error) {
    {
        std::lock_guard lock(mutex_);
        if (decided_) return false;
        decided_ = true;
        error_ = error;
    }
    settled_.notify_all();
    return true;
}

int CreateOutcome::wait(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(mutex_);
    if (!settled_.wait_until(lock, deadline, [this] { return decided_; })) {
        decided_ = true;
        error_ = BASS_ERROR_TIMEOUT;
    }
    return error_;
}

}  // namespace engine
