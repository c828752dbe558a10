#include "engine/core/pcm_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace engine {

PcmBuffer::PcmBuffer(size_t capacityFrames, int channels, bool eightBit)
    : capacity_(std::max<size_t>(capacityFrames, 1)), channels_(channels), eightBit_(eightBit) {
    size_t samples = capacity_ * size_t(channels_);
    if (eightBit_)
        bytes_.resize(samples);
    else
        floats_.resize(samples);
}

size_t PcmBuffer::available() const {
    return size_t(written_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire));
}

size_t PcmBuffer::space() const {
    return capacity_ - available();
}

size_t PcmBuffer::write(const float* in, size_t frames) {
    uint64_t w = written_.load(std::memory_order_relaxed);
    size_t free = capacity_ - size_t(w - read_.load(std::memory_order_acquire));
    frames = std::min(frames, free);
    size_t slot = size_t(w % capacity_);
    size_t first = std::min(frames, capacity_ - slot);
    store(slot, in, first);
    store(0, in + first * channels_, frames - first);
    written_.store(w + frames, std::memory_order_release);
    return frames;
}

size_t PcmBuffer::read(float* out, size_t frames) {
    uint64_t r = read_.load(std::memory_order_relaxed);
    size_t ready = size_t(written_.load(std::memory_order_acquire) - r);
    frames = std::min(frames, ready);
    size_t slot = size_t(r % capacity_);
    size_t first = std::min(frames, capacity_ - slot);
    load(slot, out, first);
    load(0, out + first * channels_, frames - first);
    read_.store(r + frames, std::memory_order_release);
    return frames;
}

void PcmBuffer::store(size_t slot, const float* in, size_t frames) {
    size_t count = frames * channels_;
    size_t at = slot * channels_;
    if (!eightBit_) {
        std::memcpy(floats_.data() + at, in, count * sizeof(float));
        return;
    }
    for (size_t i = 0; i < count; ++i) bytes_[at + i] = int8_t(std::lrint(std::clamp(in[i], -1.0f, 1.0f) * 127.0f));
}

void PcmBuffer::load(size_t slot, float* out, size_t frames) const {
    size_t count = frames * channels_;
    size_t at = slot * channels_;
    if (!eightBit_) {
        std::memcpy(out, floats_.data() + at, count * sizeof(float));
        return;
    }
    for (size_t i = 0; i < count; ++i) out[i] = float(bytes_[at + i]) / 127.0f;
}

}  // namespace engine
