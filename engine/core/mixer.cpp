#include "engine/core/mixer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace engine {

Mixer::Mixer(int rate, int channels, int maxFrames)
    : rate_(rate), channels_(channels), maxFrames_(maxFrames), scratch_(size_t(maxFrames) * kMaxSourceChannels) {}

void Mixer::render(float* out, int frames) {
    auto begin = std::chrono::steady_clock::now();
    bool mixed = false;
    for (int done = 0; done < frames;) {
        int chunk = std::min(frames - done, maxFrames_);
        mixed = renderChunk(out + size_t(done) * channels_, chunk) || mixed;
        done += chunk;
    }
    std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
    // With no channel the device only plays out silence: no load, and the
    // figure must read zero, not the tail of the last stream's average that
    // would stay once an idle device stops calling.
    if (mixed)
        measureLoad(spent.count(), frames);
    else
        cpu_.store(0.0f, std::memory_order_relaxed);
}

bool Mixer::renderChunk(float* out, int frames) {
    std::memset(out, 0, sizeof(float) * size_t(frames) * channels_);
    bool any;
    {
        MutexLock lock(sourcesMutex_);
        any = !sources_.empty();
        for (auto& source : sources_) source->mixInto(out, frames, channels_, scratch_.data());
    }
    applyMasterVolume(out, frames);
    return any;
}

void Mixer::applyMasterVolume(float* out, int frames) {
    float target = volume_.load(std::memory_order_relaxed);
    volumeRamp_.apply(out, frames, channels_, target, rate_);
    for (float* sample = out; sample < out + size_t(frames) * channels_; ++sample)
        *sample = std::clamp(*sample, -1.0f, 1.0f);
}

void Mixer::measureLoad(double seconds, int frames) {
    if (frames <= 0) return;
    double percent = seconds * rate_ / frames * 100.0;
    // Smoothed over about ten buffers, so the display does not flicker.
    float smoothed = cpu_.load(std::memory_order_relaxed);
    smoothed += float((percent - smoothed) * 0.1);
    cpu_.store(smoothed, std::memory_order_relaxed);
}

void Mixer::add(std::shared_ptr<MixSource> source) {
    MutexLock lock(sourcesMutex_);
    sources_.push_back(std::move(source));
}

void Mixer::remove(const MixSource* source) {
    std::shared_ptr<MixSource> removed;  // dies after the lock is released
    MutexLock lock(sourcesMutex_);
    auto it = std::find_if(sources_.begin(), sources_.end(), [source](const auto& s) { return s.get() == source; });
    if (it == sources_.end()) return;
    removed = std::move(*it);
    sources_.erase(it);
}

bool Mixer::anyPlaying() {
    MutexLock lock(sourcesMutex_);
    return std::any_of(sources_.begin(), sources_.end(), [](const auto& s) { return s->playing(); });
}

void Mixer::setOnPlay(std::function<void()> handler) {
    MutexLock lock(onPlayMutex_);
    onPlay_ = std::move(handler);
}

void Mixer::playStarted() {
    MutexLock lock(onPlayMutex_);
    if (onPlay_) onPlay_();
}

void Mixer::setMasterVolume(float volume) {
    volume_.store(volume, std::memory_order_relaxed);
}

float Mixer::masterVolume() const {
    return volume_.load(std::memory_order_relaxed);
}

float Mixer::cpuPercent() const {
    return cpu_.load(std::memory_order_relaxed);
}

}  // namespace engine

namespace engine {

void addMapped(const float* in, int inChannels, float* out, int outChannels, int frames) {
    if (inChannels == outChannels) {
        for (size_t i = 0, n = size_t(frames) * outChannels; i < n; ++i) out[i] += in[i];
        return;
    }
    for (int f = 0; f < frames; ++f) {
        const float* src = in + size_t(f) * inChannels;
        float* dst = out + size_t(f) * outChannels;
        if (inChannels == 1) {
            dst[0] += src[0];
            if (outChannels > 1) dst[1] += src[0];
        } else if (outChannels == 1) {
            float sum = 0;
            for (int c = 0; c < inChannels; ++c) sum += src[c];
            dst[0] += sum / float(inChannels);
        } else {
            for (int c = 0; c < std::min(inChannels, outChannels); ++c) dst[c] += src[c];
        }
    }
}

}  // namespace engine
