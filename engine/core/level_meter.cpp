#include "engine/core/level_meter.h"

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

uint32_t toLevel(float peak) {
    return uint32_t(std::lrint(std::min(peak, 1.0f) * 32768.0f));
}

}  // namespace

LevelMeter::LevelMeter(int rate) : sliceFrames_(std::max(1, rate / 200)) {}

void LevelMeter::add(const float* frames, int count, int channels) {
    // Mono shows on both sides; of more channels the first two are the sides.
    int right = channels > 1 ? 1 : 0;
    for (int i = 0; i < count; ++i) {
        const float* frame = frames + size_t(i) * channels;
        slicePeak_[0] = std::max(slicePeak_[0], std::fabs(frame[0]));
        slicePeak_[1] = std::max(slicePeak_[1], std::fabs(frame[right]));
        if (++sliceFill_ == sliceFrames_) closeSlice();
    }
}

void LevelMeter::closeSlice() {
    history_[next_][0] = slicePeak_[0];
    history_[next_][1] = slicePeak_[1];
    next_ = (next_ + 1) % kSlices;
    slicePeak_[0] = slicePeak_[1] = 0;
    sliceFill_ = 0;
    float left = 0, right = 0;
    for (auto& slice : history_) {
        left = std::max(left, slice[0]);
        right = std::max(right, slice[1]);
    }
    packed_.store(toLevel(left) | (toLevel(right) << 16), std::memory_order_relaxed);
}

void LevelMeter::reset() {
    for (auto& slice : history_) slice[0] = slice[1] = 0;
    slicePeak_[0] = slicePeak_[1] = 0;
    sliceFill_ = 0;
    packed_.store(0, std::memory_order_relaxed);
}

}  // namespace engine
