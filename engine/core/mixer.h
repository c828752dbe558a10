// The mixer: on the output's thread, sums every source into the device
// format, applies the master volume, clips, and measures its own load.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <vector>
#include "base/thread_safety.h"

#include "engine/core/gain_ramp.h"

namespace engine {

// The most channels a source may carry (7.1).
constexpr int kMaxSourceChannels = 8;

class MixSource {
public:
    virtual ~MixSource() = default;
    // Output thread: adds the next `frames` frames into `out` (interleaved,
    // `channels` per frame). `scratch` holds frames * kMaxSourceChannels
    // floats. Must not allocate or wait for a control call.
    virtual void mixInto(float* out, int frames, int channels, float* scratch) = 0;
    // Any thread: whether the source has sound to give now or soon.
    virtual bool playing() const { return true; }
};

class Mixer {
public:
    Mixer(int rate, int channels, int maxFrames);

    // Output thread only.
    void render(float* out, int frames);

    // Any thread. remove() returns once no mix uses the source any more.
    void add(std::shared_ptr<MixSource> source);
    void remove(const MixSource* source);
    // Any thread: whether any source plays.
    bool anyPlaying();
    // A source starts to play: tells whoever drives the output (any thread;
    // the handler must not wait). A null handler stops the telling.
    void setOnPlay(std::function<void()> handler);
    void playStarted();

    void setMasterVolume(float volume);
    float masterVolume() const;
    float cpuPercent() const;
    int rate() const { return rate_; }
    int channels() const { return channels_; }

private:
    bool renderChunk(float* out, int frames);  // whether any source was mixed
    void applyMasterVolume(float* out, int frames);
    void measureLoad(double seconds, int frames);

    const int rate_;
    const int channels_;
    const int maxFrames_;

    // Lock order: sourcesMutex_ is held by the output thread for a whole
    // chunk; control calls hold it only to edit the list, never while
    // waiting for anything else.
    Mutex sourcesMutex_;
    std::vector<std::shared_ptr<MixSource>> sources_ GUARDED_BY(sourcesMutex_);

    std::vector<float> scratch_;  // output thread only
    GainRamp volumeRamp_;         // output thread only
    std::atomic<float> volume_{1.0f};
    std::atomic<float> cpu_{0.0f};
    Mutex onPlayMutex_;
    std::function<void()> onPlay_ GUARDED_BY(onPlayMutex_);
};

}  // namespace engine

namespace engine {

// Adds `frames` frames of `in` (inChannels per frame) into `out`
// (outChannels per frame): mono goes to both front sides, more channels
// than the output has are folded (to mono by their mean, otherwise the
// extra ones are dropped), fewer fill the first ones.
void addMapped(const float* in, int inChannels, float* out, int outChannels, int frames);

}  // namespace engine
