// The reverb: a feedback delay network (eight delay lines mixed through a
// Hadamard matrix) after a chain of allpass diffusers. Each line loses the
// share of the reverb time its length takes, so the tail decays by 60 dB in
// fReverbTime; a low-pass in each loop makes high frequencies die
// fHighFreqRTRatio times as fast.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

#include "engine/effects/effect_makers.h"
#include "engine/effects/lanes.h"
#include "engine/effects/ramp.h"

namespace engine::fx {
namespace {

constexpr int kMaxChannels = 8;
constexpr int kLines = 8;
// Line lengths at 44.1 kHz (32..63 ms): primes, so their echoes rarely
// coincide and the tail stays dense instead of ringing.
constexpr std::array<int, kLines> kLineLengths = {1433, 1601, 1867, 2053, 2251, 2399, 2617, 2797};
// Diffusers smear each sound into many echoes before the loop.
constexpr std::array<int, 4> kDiffuserLengths = {142, 107, 379, 277};
constexpr double kDiffuserGain = 0.6;
constexpr double kReferenceRate = 44100;
// Per pass through a line, the top of the band keeps at least this share of
// the low frequencies' level: with less, the loop's low-pass would turn so
// steep that it took the whole tail, not only its top.
constexpr double kMinHighShare = 0.05;
// Gains glide over this long so a moved slider does not click.
constexpr double kGlideSeconds = 0.02;
// A tiny constant keeps the decaying loop out of slow denormal numbers.
constexpr float kAntiDenormal = 1e-20f;

// A fixed delay of `length` samples on a ring buffer, worked on in blocks
// of at most `length` frames: the cells a block visits hold, on the way in,
// the outputs of the block's frames, and take their new inputs.
class DelayLine {
public:
    explicit DelayLine(int length) : buffer_(static_cast<size_t>(std::max(length, 1)), 0.0f) {}
    size_t length() const { return buffer_.size(); }

    // Calls visit(cell, n) for the cell of each frame n < frames, in two
    // straight runs (before and after the wrap) that the compiler can
    // vectorise; advance() then moves on to the next block.
    template <class Visit>
    void forBlock(size_t frames, Visit visit) {
        size_t first = std::min(frames, buffer_.size() - pos_);
        float* cells = buffer_.data() + pos_;
        for (size_t n = 0; n < first; ++n) visit(cells[n], n);
        cells = buffer_.data() - first;
        for (size_t n = first; n < frames; ++n) visit(cells[n], n);
    }
    void advance(size_t frames) {
        pos_ += frames;
        if (pos_ >= buffer_.size()) pos_ -= buffer_.size();
    }

private:
    std::vector<float> buffer_;
    size_t pos_ = 0;
};

// Schroeder allpass: passes every frequency at full level, spread in time.
class Diffuser {
public:
    explicit Diffuser(int length) : line_(length) {}
    size_t length() const { return line_.length(); }
    void run(float* x, size_t frames) {
        constexpr auto g = static_cast<float>(kDiffuserGain);
        line_.forBlock(frames, [x](float& cell, size_t n) {
            float delayed = cell;
            float w = x[n] - g * delayed;
            cell = w;
            x[n] = delayed + g * w;
        });
        line_.advance(frames);
    }

private:
    DelayLine line_;
};

// The loop of one line: gain k at low frequencies, falling towards k * high
// at the top of the band (a one-pole low-pass). Its coefficients glide: a
// jump would scale the circulating sound at one instant, a click heard on
// every pass.
struct Damping {
    Ramp gain;  // k * (1 - pole)
    Ramp pole;
    float state = 0;
};

// Frames per block at most. A block is never longer than the shortest line,
// so it only reads what earlier blocks wrote, and each stage can run over the
// whole block at once instead of sample by sample.
constexpr size_t kBlock = 64;

// A gain for each frame of a block: the ramp's steps while it glides, else
// its value throughout.
void fillGains(Ramp& ramp, float* out, size_t frames) {
    if (!ramp.moving()) {
        std::fill(out, out + frames, static_cast<float>(ramp.value()));
        return;
    }
    for (size_t n = 0; n < frames; ++n) out[n] = static_cast<float>(ramp.next());
}

int scaled(int length, int rate) {
    return static_cast<int>(std::lround(length * rate / kReferenceRate));
}

// Compared as floats, so the limits as a caller writes them (0.999f) pass.
bool within(float v, double lo, double hi) {
    return v >= static_cast<float>(lo) && v <= static_cast<float>(hi);  // false for NaN
}

double fromDb(double db) {
    return std::pow(10.0, db / 20);
}

static_assert(kLines == 8, "the loop works on the lines as two vectors of four");

// One value per line, as two vectors of four lanes.
struct LineValues {
    Float4 low, high;
    static LineValues load(const float* from) { return {loadFloat4(from), loadFloat4(from + 4)}; }
    void store(float* to) const {
        storeFloat4(to, low);
        storeFloat4(to + 4, high);
    }
};

// Unnormalised: the eight-point Walsh-Hadamard transform, the four-point one
// on each half and a last butterfly between the halves.
LineValues hadamard(const LineValues& v) {
    const Float4 low = hadamard4(v.low), high = hadamard4(v.high);
    return {low + high, low - high};
}

class Reverb final : public Effect {
public:
    explicit Reverb(int rate);
    bool setParameters(const void* params) override;
    void getParameters(void* params) const override { *static_cast<BASS_DX8_REVERB*>(params) = params_; }
    void process(float* samples, size_t frames, int channels) override;

private:
    void updateLoop(int steps);
    void processBlock(float* samples, size_t frames, int channels);
    void diffuse(const float* samples, size_t frames, int channels, float* out);
    void runLoop(size_t frames);
    bool loopGliding() const;

    int rate_;
    int glideSteps_;
    size_t block_;  // frames per block: kBlock, or the shortest line or diffuser when shorter
    bool started_ = false;
    BASS_DX8_REVERB params_ = {0, 0, 1000, 0.001f};
    std::vector<Diffuser> diffusers_;
    std::vector<DelayLine> lines_;
    std::array<int, kLines> lengths_{};
    std::array<Damping, kLines> damping_;
    // Hadamard rows, one per output channel: uncorrelated mixes of the lines.
    std::array<std::array<float, kLines>, kMaxChannels> outputMix_{};
    double loudness_ = 1;  // evens out the tail's level over reverb times
    Ramp inGain_, wetGain_;
    // Work space of one block: the diffused input, the lines' outputs (taps)
    // and what goes back into the lines, frame by frame.
    std::array<float, kBlock> input_{}, wet_{};
    std::array<std::array<float, kLines>, kBlock> taps_{}, back_{};
};

Reverb::Reverb(int rate) : rate_(rate), glideSteps_(static_cast<int>(kGlideSeconds * rate)) {
    for (int length : kDiffuserLengths) diffusers_.emplace_back(scaled(length, rate));
    for (int i = 0; i < kLines; ++i) {
        lengths_[i] = std::max(scaled(kLineLengths[i], rate), 1);
        lines_.emplace_back(lengths_[i]);
    }
    block_ = kBlock;
    for (const Diffuser& d : diffusers_) block_ = std::min(block_, d.length());
    for (const DelayLine& line : lines_) block_ = std::min(block_, line.length());
    float norm = 1 / std::sqrt(static_cast<float>(kLines));
    for (int c = 0; c < kMaxChannels; ++c)
        for (int i = 0; i < kLines; ++i)
            outputMix_[c][i] = (std::popcount(static_cast<unsigned>(c & i)) % 2 ? -norm : norm);
    updateLoop(0);
    inGain_.moveTo(fromDb(params_.fInGain), 0);
    wetGain_.moveTo(fromDb(params_.fReverbMix) * loudness_, 0);
}

bool Reverb::setParameters(const void* params) {
    const auto& p = *static_cast<const BASS_DX8_REVERB*>(params);
    if (!within(p.fInGain, -96, 0) || !within(p.fReverbMix, -96, 0) || !within(p.fReverbTime, 0.001, 3000) ||
        !within(p.fHighFreqRTRatio, 0.001, 0.999))
        return false;
    params_ = p;
    int steps = started_ ? glideSteps_ : 0;
    updateLoop(steps);
    inGain_.moveTo(fromDb(p.fInGain), steps);
    wetGain_.moveTo(fromDb(p.fReverbMix) * loudness_, steps);
    return true;
}

// Per line, the gain that takes 60 dB off in the reverb time
// (k = 10^(-3 * length / (time * rate))), and a pole that makes the gain at
// the top of the band k^(1 / ratio), the gain that decays ratio times as fast.
void Reverb::updateLoop(int steps) {
    double samples = params_.fReverbTime / 1000.0 * rate_;
    double meanGain = 0;
    for (int i = 0; i < kLines; ++i) {
        double k = std::pow(10.0, -3 * lengths_[i] / samples);
        double high = std::max(std::pow(k, 1 / static_cast<double>(params_.fHighFreqRTRatio)), k * kMinHighShare);
        double pole = k > 1e-9 ? (k - high) / (k + high) : 0;
        damping_[i].gain.moveTo(k * (1 - pole), steps);
        damping_[i].pole.moveTo(pole, steps);
        meanGain += k / kLines;
    }
    // An orthogonal loop of gain g holds 1 / (1 - g^2) times the power fed
    // in; scaling by its root keeps long and short reverbs equally loud.
    loudness_ = std::sqrt(1 - meanGain * meanGain);
}

bool Reverb::loopGliding() const {
    return std::any_of(damping_.begin(), damping_.end(),
                       [](const Damping& d) { return d.gain.moving() || d.pole.moving(); });
}

// The mono sum of each frame, scaled by the input gain, through the diffusers.
void Reverb::diffuse(const float* samples, size_t frames, int channels, float* out) {
    fillGains(inGain_, out, frames);
    for (size_t n = 0; n < frames; ++n) {
        const float* frame = samples + n * static_cast<size_t>(channels);
        float sum = 0;
        for (int c = 0; c < channels; ++c) sum += frame[c];
        out[n] = sum / static_cast<float>(channels) * out[n] + kAntiDenormal;
    }
    for (Diffuser& d : diffusers_) d.run(out, frames);
}

// The lines' outputs for the block into taps_, then each through its damping
// and the Hadamard mix back into the lines with the new input added.
void Reverb::runLoop(size_t frames) {
    for (int i = 0; i < kLines; ++i)
        lines_[i].forBlock(frames, [this, i](float& cell, size_t n) { taps_[n][i] = cell; });
    bool gliding = loopGliding();
    std::array<float, kLines> gain, pole, state;
    for (int i = 0; i < kLines; ++i) {
        gain[i] = static_cast<float>(damping_[i].gain.value());
        pole[i] = static_cast<float>(damping_[i].pole.value());
        state[i] = damping_[i].state;
    }
    // All eight lines at once, frame after frame: each frame's damping
    // needs the one before.
    LineValues g = LineValues::load(gain.data()), p = LineValues::load(pole.data());
    LineValues s = LineValues::load(state.data());
    for (size_t n = 0; n < frames; ++n) {
        if (gliding) {
            for (int i = 0; i < kLines; ++i) {
                gain[i] = static_cast<float>(damping_[i].gain.next());
                pole[i] = static_cast<float>(damping_[i].pole.next());
            }
            g = LineValues::load(gain.data());
            p = LineValues::load(pole.data());
        }
        const LineValues t = LineValues::load(taps_[n].data());
        s = {g.low * t.low + p.low * s.low, g.high * t.high + p.high * s.high};
        hadamard(s).store(back_[n].data());
    }
    s.store(state.data());
    for (int i = 0; i < kLines; ++i) damping_[i].state = state[i];
    float norm = 1 / std::sqrt(static_cast<float>(kLines));
    for (int i = 0; i < kLines; ++i) {
        lines_[i].forBlock(frames, [this, i, norm](float& cell, size_t n) { cell = back_[n][i] * norm + input_[n]; });
        lines_[i].advance(frames);
    }
}

void Reverb::processBlock(float* samples, size_t frames, int channels) {
    diffuse(samples, frames, channels, input_.data());
    runLoop(frames);
    fillGains(wetGain_, wet_.data(), frames);
    int wetChannels = std::min(channels, kMaxChannels);
    std::array<LineValues, kMaxChannels> mix;
    for (int c = 0; c < wetChannels; ++c) mix[c] = LineValues::load(outputMix_[c].data());
    for (size_t n = 0; n < frames; ++n) {
        float* frame = samples + n * static_cast<size_t>(channels);
        const LineValues t = LineValues::load(taps_[n].data());
        for (int c = 0; c < wetChannels; ++c) frame[c] += wet_[n] * sumOf(mix[c].low * t.low + mix[c].high * t.high);
    }
}

void Reverb::process(float* samples, size_t frames, int channels) {
    if (channels <= 0) return;
    started_ = true;
    for (size_t start = 0; start < frames; start += block_)
        processBlock(samples + start * static_cast<size_t>(channels), std::min(block_, frames - start), channels);
}

}  // namespace

std::unique_ptr<Effect> makeReverb(int rate) {
    if (rate < 1000) return nullptr;
    return std::make_unique<Reverb>(rate);
}

}  // namespace engine::fx
