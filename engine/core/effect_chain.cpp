#include "engine/core/effect_chain.h"

#include <algorithm>
#include <utility>

namespace engine {

void EffectChain::add(DWORD handle, int priority, std::unique_ptr<fx::Effect> effect) {
    MutexLock lock(mutex_);
    auto at =
        std::find_if(slots_.begin(), slots_.end(), [priority](const Slot& slot) { return slot.priority < priority; });
    slots_.insert(at, Slot{handle, priority, std::move(effect)});
}

bool EffectChain::remove(DWORD handle) {
    std::unique_ptr<fx::Effect> removed;  // freed after the lock, away from the mix
    MutexLock lock(mutex_);
    auto it = std::find_if(slots_.begin(), slots_.end(), [handle](const Slot& slot) { return slot.handle == handle; });
    if (it == slots_.end()) return false;
    removed = std::move(it->effect);
    slots_.erase(it);
    return true;
}

// Taking the mix's lock applies the new values between two blocks.
bool EffectChain::setParameters(DWORD handle, const void* params, bool* valid) {
    MutexLock lock(mutex_);
    for (auto& slot : slots_) {
        if (slot.handle != handle) continue;
        *valid = slot.effect->setParameters(params);
        return true;
    }
    return false;
}

bool EffectChain::getParameters(DWORD handle, void* params) const {
    MutexLock lock(mutex_);
    for (auto& slot : slots_) {
        if (slot.handle != handle) continue;
        slot.effect->getParameters(params);
        return true;
    }
    return false;
}

std::vector<DWORD> EffectChain::handles() const {
    MutexLock lock(mutex_);
    std::vector<DWORD> handles;
    for (auto& slot : slots_) handles.push_back(slot.handle);
    return handles;
}

void EffectChain::process(float* samples, int frames, int channels) {
    MutexLock lock(mutex_);
    for (auto& slot : slots_) slot.effect->process(samples, size_t(frames), channels);
}

}  // namespace engine
