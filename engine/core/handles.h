// Handles: numbers the program holds for engine objects. Every handle of any
// kind comes from one 32-bit counter and is never given out twice in a
// process (4 billion handles), so a stale handle can only miss, never name a
// newer object, and a handle of one kind is refused by the calls of another.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include <unordered_map>
#include <vector>
#include "base/thread_safety.h"

namespace engine {

// A fresh handle, never 0 and never 0xFFFFFFFF (both read as failures).
uint32_t newHandle();

// Handle -> shared object. Thread-safe; its lock is a leaf (nothing else is
// taken or called under it), so any thread may use it at any time.
template <class T>
class HandleTable {
public:
    uint32_t add(std::shared_ptr<T> object) {
        uint32_t handle = newHandle();
        MutexLock lock(mutex_);
        objects_.emplace(handle, std::move(object));
        return handle;
    }

    std::shared_ptr<T> get(uint32_t handle) const {
        MutexLock lock(mutex_);
        auto it = objects_.find(handle);
        return it == objects_.end() ? nullptr : it->second;
    }

    // Removes the handle; returns its object (null when it was not there), so
    // the caller decides where the object dies.
    std::shared_ptr<T> remove(uint32_t handle) {
        MutexLock lock(mutex_);
        auto it = objects_.find(handle);
        if (it == objects_.end()) return nullptr;
        auto object = std::move(it->second);
        objects_.erase(it);
        return object;
    }

    std::vector<std::shared_ptr<T>> removeAll() {
        MutexLock lock(mutex_);
        std::vector<std::shared_ptr<T>> all;
        all.reserve(objects_.size());
        for (auto& [handle, object] : objects_) all.push_back(std::move(object));
        objects_.clear();
        return all;
    }

    std::vector<std::shared_ptr<T>> snapshot() const {
        MutexLock lock(mutex_);
        std::vector<std::shared_ptr<T>> all;
        all.reserve(objects_.size());
        for (auto& [handle, object] : objects_) all.push_back(object);
        return all;
    }

    size_t size() const {
        MutexLock lock(mutex_);
        return objects_.size();
    }

private:
    mutable Mutex mutex_;
    std::unordered_map<uint32_t, std::shared_ptr<T>> objects_ GUARDED_BY(mutex_);
};

}  // namespace engine
