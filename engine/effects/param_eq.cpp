// The parametric EQ band: a peaking biquad (the RBJ audio-EQ cookbook's
// "peakingEQ", bandwidth given in octaves) per channel.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "engine/effects/effect_makers.h"
#include "engine/effects/lanes.h"
#include "engine/effects/ramp.h"

namespace engine::fx {
namespace {

constexpr int kMaxChannels = 8;
// Parameter changes glide over this long, recomputing the filter every
// kBlock frames: short enough to feel immediate, long enough not to click.
constexpr double kGlideSeconds = 0.02;
constexpr size_t kBlock = 32;
// DirectX's default centre; lower when the rate does not allow it.
constexpr float kDefaultCentre = 8000;

struct Coefficients {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

// Direct form I: its state is past inputs and outputs, so it stays valid
// when the coefficients change under it.
struct History {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    double run(const Coefficients& c, double x) {
        double y = c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    // A decaying state would end in denormal numbers, which are slow.
    void flushTiny() {
        if (std::abs(y1) < 1e-30 && std::abs(y2) < 1e-30) y1 = y2 = 0;
    }
};

Coefficients peaking(double centre, double semitones, double gainDb, int rate) {
    double w0 = 2 * std::numbers::pi * centre / rate;
    double a = std::pow(10.0, gainDb / 40);
    double octaves = semitones / 12;
    double alpha = std::sin(w0) * std::sinh(std::numbers::ln2 / 2 * octaves * w0 / std::sin(w0));
    double a0 = 1 + alpha / a;
    Coefficients c;
    c.b0 = (1 + alpha * a) / a0;
    c.b1 = -2 * std::cos(w0) / a0;
    c.b2 = (1 - alpha * a) / a0;
    c.a1 = c.b1;
    c.a2 = (1 - alpha / a) / a0;
    return c;
}

// Compared as floats, so the limits as a caller writes them (0.999f) pass.
bool within(float v, double lo, double hi) {
    return v >= static_cast<float>(lo) && v <= static_cast<float>(hi);  // false for NaN
}

class ParamEq final : public Effect {
public:
    explicit ParamEq(int rate) : rate_(rate), glideBlocks_(static_cast<int>(kGlideSeconds * rate / kBlock) + 1) {
        params_ = {std::min(kDefaultCentre, static_cast<float>(rate) / 3), 12, 0};
        jumpTo(params_);
    }

    bool setParameters(const void* params) override {
        const auto& p = *static_cast<const BASS_DX8_PARAMEQ*>(params);
        if (!within(p.fCenter, 80, std::min(16000.0, rate_ / 3.0)) || !within(p.fBandwidth, 1, 36) ||
            !within(p.fGain, -15, 15))
            return false;
        params_ = p;
        if (!started_) {
            jumpTo(p);  // nothing heard yet, so nothing to glide from
            return true;
        }
        // The centre glides on a log scale, as the ear hears it.
        logCentre_.moveTo(std::log2(p.fCenter), glideBlocks_);
        bandwidth_.moveTo(p.fBandwidth, glideBlocks_);
        gain_.moveTo(p.fGain, glideBlocks_);
        return true;
    }

    void getParameters(void* params) const override { *static_cast<BASS_DX8_PARAMEQ*>(params) = params_; }

    void process(float* samples, size_t frames, int channels) override;

private:
    void filterStereo(float* samples, size_t frames);

    void jumpTo(const BASS_DX8_PARAMEQ& p) {
        logCentre_.moveTo(std::log2(p.fCenter), 0);
        bandwidth_.moveTo(p.fBandwidth, 0);
        gain_.moveTo(p.fGain, 0);
        updateCoefficients();
    }

    void updateCoefficients() {
        coefficients_ = peaking(std::exp2(logCentre_.value()), bandwidth_.value(), gain_.value(), rate_);
    }

    void glide() {
        if (!gain_.moving() && !logCentre_.moving() && !bandwidth_.moving()) return;
        logCentre_.next();
        bandwidth_.next();
        gain_.next();
        updateCoefficients();
    }

    int rate_;
    int glideBlocks_;
    bool started_ = false;
    int channels_ = 0;
    BASS_DX8_PARAMEQ params_;
    Ramp logCentre_, bandwidth_, gain_;
    Coefficients coefficients_;
    std::array<History, kMaxChannels> history_{};
};

// Both channels of a stereo block at once, one in each lane: each sample
// waits for the one before it in its channel, so the two channels' filters
// run side by side in the time one took.
void ParamEq::filterStereo(float* samples, size_t frames) {
    for (size_t start = 0; start < frames; start += kBlock) {
        glide();
        const Coefficients& k = coefficients_;
        const Double2 b0 = {k.b0, k.b0}, b1 = {k.b1, k.b1}, b2 = {k.b2, k.b2}, a1 = {k.a1, k.a1}, a2 = {k.a2, k.a2};
        Double2 x1 = {history_[0].x1, history_[1].x1}, x2 = {history_[0].x2, history_[1].x2};
        Double2 y1 = {history_[0].y1, history_[1].y1}, y2 = {history_[0].y2, history_[1].y2};
        float* s = samples + 2 * start;
        const size_t count = std::min(frames - start, kBlock);
        for (size_t i = 0; i < count; ++i, s += 2) {
            const Double2 x = {s[0], s[1]};
            const Double2 y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            s[0] = static_cast<float>(y[0]);
            s[1] = static_cast<float>(y[1]);
        }
        for (int c = 0; c < 2; ++c) history_[c] = {x1[c], x2[c], y1[c], y2[c]};
    }
    for (int c = 0; c < 2; ++c) history_[c].flushTiny();
}

void ParamEq::process(float* samples, size_t frames, int channels) {
    if (channels <= 0) return;
    int filtered = std::min(channels, kMaxChannels);
    // A new channel layout is a new signal: the old history would not fit it.
    if (channels != channels_) history_.fill({});
    channels_ = channels;
    started_ = true;
    if (channels == 2) {
        filterStereo(samples, frames);
        return;
    }
    size_t stride = static_cast<size_t>(channels);
    for (size_t start = 0; start < frames; start += kBlock) {
        glide();
        size_t count = std::min(frames - start, kBlock);
        // Channel by channel: the filter's state and coefficients stay in
        // registers through the block.
        for (int c = 0; c < filtered; ++c) {
            History h = history_[c];
            const Coefficients k = coefficients_;
            float* s = samples + start * stride + static_cast<size_t>(c);
            for (size_t i = 0; i < count; ++i, s += stride) *s = static_cast<float>(h.run(k, *s));
            history_[c] = h;
        }
    }
    for (int c = 0; c < filtered; ++c) history_[c].flushTiny();
}

}  // namespace

std::unique_ptr<Effect> makeParamEq(int rate) {
    // The lowest centre must lie below a third of the rate.
    if (rate < 240) return nullptr;
    return std::make_unique<ParamEq>(rate);
}

}  // namespace engine::fx
