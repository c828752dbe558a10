// A gain that moves to a new value over 5 ms instead of jumping, which would
// be heard as a click. Used by one thread only.
#pragma once

#include <algorithm>
#include <cstddef>

namespace engine {

class GainRamp {
public:
    // Sets the gain at once, with no ramp.
    void jumpTo(float gain) { gain_ = gain; }

    // Scales `frames` interleaved frames of `channels` samples, the gain
    // stepping a frame at a time towards `target`; `rate` is frames a second.
    void apply(float* samples, int frames, int channels, float target, int rate) {
        // Steady, as it is but for a moment after a change: one gain for the
        // whole block, and at full volume nothing to do.
        if (gain_ == target) {
            if (gain_ != 1.0f)
                for (size_t i = 0, n = size_t(frames) * size_t(std::max(channels, 0)); i < n; ++i) samples[i] *= gain_;
            return;
        }
        float step = (target - gain_) / float(std::max(1, rate / 200));
        for (int f = 0; f < frames; ++f) {
            if (gain_ != target) {
                gain_ += step;
                if ((step > 0 && gain_ > target) || (step < 0 && gain_ < target)) gain_ = target;
            }
            float* frame = samples + size_t(f) * channels;
            for (int c = 0; c < channels; ++c) frame[c] *= gain_;
        }
    }

private:
    float gain_ = 1.0f;
};

}  // namespace engine
