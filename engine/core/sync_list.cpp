#include "engine/core/sync_list.h"

#include <algorithm>

namespace engine {

void SyncList::add(const Sync& sync) {
    std::lock_guard lock(mutex_);
    syncs_.push_back(sync);
}

bool SyncList::remove(DWORD handle) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(syncs_.begin(), syncs_.end(), [handle](const Sync& sync) { return sync.handle == handle; });
    if (it == syncs_.end()) return false;
    syncs_.erase(it);
    return true;
}

std::vector<Sync> SyncList::takeDue(DWORD type) {
    std::vector<Sync> due;
    std::lock_guard lock(mutex_);
    if (closed_) return due;
    for (auto it = syncs_.begin(); it != syncs_.end();) {
        if (it->type != type) {
            ++it;
            continue;
        }
        due.push_back(*it);
        it = it->oneTime ? syncs_.erase(it) : it + 1;
    }
    if (!due.empty()) ++running_;
    return due;
}

bool SyncList::enter() {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    ++running_;
    return true;
}

void SyncList::leave() {
    std::lock_guard lock(mutex_);
    if (--running_ == 0) idle_.notify_all();
}

void SyncList::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

void SyncList::waitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return running_ == 0; });
}

}  // namespace engine
