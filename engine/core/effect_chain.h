// The effects set on a channel, highest priority first. The output's thread
// runs them over each block under the chain's lock; control calls take the
// same lock only to edit the chain, so a change lands between two blocks.
#pragma once

#include <memory>
#include <vector>

#include "base/thread_safety.h"
#include "engine/bass.h"
#include "engine/effects/effects.h"

namespace engine {

class EffectChain {
public:
    // Before every effect of lower priority; after those of the same.
    void add(DWORD handle, int priority, std::unique_ptr<fx::Effect> effect);
    bool remove(DWORD handle);
    // False when no effect has the handle; *valid tells whether it took params.
    bool setParameters(DWORD handle, const void* params, bool* valid);
    bool getParameters(DWORD handle, void* params) const;
    std::vector<DWORD> handles() const;

    // Output thread: every effect, in order, over one block.
    void process(float* samples, int frames, int channels);

private:
    struct Slot {
        DWORD handle;
        int priority;
        std::unique_ptr<fx::Effect> effect;
    };

    mutable Mutex mutex_;
    std::vector<Slot> slots_ GUARDED_BY(mutex_);
};

}  // namespace engine
