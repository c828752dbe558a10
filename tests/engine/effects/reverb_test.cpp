#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

#include "engine/bass.h"
#include "engine/effects/effects.h"
#include "tests/support/tone_analysis.h"

using engine::fx::createEffect;
using engine::fx::Effect;

namespace {

constexpr int kRate = 44100;

std::unique_ptr<Effect> reverb(float inGain, float mix, float timeMs, float hfRatio) {
    auto fx = createEffect(BASS_FX_DX8_REVERB, kRate);
    BASS_DX8_REVERB p = {inGain, mix, timeMs, hfRatio};
    EXPECT_TRUE(fx->setParameters(&p));
    return fx;
}

BASS_DX8_REVERB parametersOf(const Effect& fx) {
    BASS_DX8_REVERB p;
    fx.getParameters(&p);
    return p;
}

std::vector<float> noise(double seconds, int channels, unsigned seed = 1, double amplitude = 0.25) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(static_cast<float>(-amplitude), static_cast<float>(amplitude));
    std::vector<float> out(static_cast<size_t>(seconds * kRate) * static_cast<size_t>(channels));
    for (auto& v : out) v = value(random);
    return out;
}

std::vector<float> sine(double frequency, double seconds, int channels, double amplitude = 0.25) {
    size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<float> out(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = static_cast<float>(
                amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / kRate));
    return out;
}

// The wet part of the answer to a unit impulse: the output minus the input.
std::vector<float> impulseTail(Effect& fx, double seconds, int channels = 1) {
    std::vector<float> samples(static_cast<size_t>(seconds * kRate) * static_cast<size_t>(channels), 0.0f);
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(c)] = 1;
    fx.process(samples.data(), samples.size() / static_cast<size_t>(channels), channels);
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(c)] -= 1;
    return samples;
}

// Reverb time from the energy decay curve (backward integration): the time
// from -5 to -25 dB, times three.
double rt60Seconds(const std::vector<float>& tail) {
    std::vector<double> remaining(tail.size() + 1, 0);
    for (size_t i = tail.size(); i-- > 0;) remaining[i] = remaining[i + 1] + double(tail[i]) * tail[i];
    auto timeAt = [&](double db) {
        for (size_t i = 0; i < tail.size(); ++i)
            if (10 * std::log10(remaining[i] / remaining[0]) <= db) return static_cast<double>(i) / kRate;
        return static_cast<double>(tail.size()) / kRate;
    };
    return 3 * (timeAt(-25) - timeAt(-5));
}

TEST(Reverb, DefaultsAndRangesPinnedFromBothSides) {
    auto fx = createEffect(BASS_FX_DX8_REVERB, kRate);
    BASS_DX8_REVERB d = parametersOf(*fx);
    EXPECT_FLOAT_EQ(d.fInGain, 0);
    EXPECT_FLOAT_EQ(d.fReverbMix, 0);
    EXPECT_FLOAT_EQ(d.fReverbTime, 1000);
    EXPECT_FLOAT_EQ(d.fHighFreqRTRatio, 0.001f);

    float nan = std::numeric_limits<float>::quiet_NaN();
    BASS_DX8_REVERB good = {-3, -12, 500, 0.5f};
    ASSERT_TRUE(fx->setParameters(&good));
    for (BASS_DX8_REVERB bad : std::vector<BASS_DX8_REVERB>{{0.01f, 0, 1000, 0.5f},
                                                            {-96.01f, 0, 1000, 0.5f},
                                                            {nan, 0, 1000, 0.5f},
                                                            {0, 0.01f, 1000, 0.5f},
                                                            {0, -96.01f, 1000, 0.5f},
                                                            {0, nan, 1000, 0.5f},
                                                            {0, 0, 0.0009f, 0.5f},
                                                            {0, 0, 3000.1f, 0.5f},
                                                            {0, 0, nan, 0.5f},
                                                            {0, 0, 1000, 0.0009f},
                                                            {0, 0, 1000, 0.9991f},
                                                            {0, 0, 1000, nan}}) {
        EXPECT_FALSE(fx->setParameters(&bad));
        BASS_DX8_REVERB now = parametersOf(*fx);
        EXPECT_EQ(now.fInGain, good.fInGain);
        EXPECT_EQ(now.fReverbMix, good.fReverbMix);
        EXPECT_EQ(now.fReverbTime, good.fReverbTime);
        EXPECT_EQ(now.fHighFreqRTRatio, good.fHighFreqRTRatio);
    }
    for (BASS_DX8_REVERB edge : std::vector<BASS_DX8_REVERB>{{-96, -96, 0.001f, 0.001f}, {0, 0, 3000, 0.999f}}) {
        EXPECT_TRUE(fx->setParameters(&edge));
    }
}

TEST(Reverb, LowestMixIsNearlyDry) {
    auto fx = reverb(0, -96, 1000, 0.5f);
    auto in = noise(1, 2);
    auto out = in;
    fx->process(out.data(), out.size() / 2, 2);
    std::vector<float> difference(in.size());
    for (size_t i = 0; i < in.size(); ++i) difference[i] = out[i] - in[i];
    EXPECT_LT(tone::toDb(tone::rms(tone::channelOf(difference, 1)) / tone::rms(tone::channelOf(in, 1))), -80);
}

TEST(Reverb, FullMixAddsATailThatDecaysInTheReverbTime) {
    double previous = 0;
    for (float timeMs : {200.0f, 600.0f, 1500.0f, 3000.0f}) {
        SCOPED_TRACE(timeMs);
        auto fx = reverb(0, 0, timeMs, 0.999f);
        auto tail = impulseTail(*fx, 1 + 2 * timeMs / 1000);
        double rt = rt60Seconds(tail);
        EXPECT_GT(rt, previous);
        EXPECT_GT(rt, 0.7 * timeMs / 1000);
        EXPECT_LT(rt, 1.4 * timeMs / 1000);
        previous = rt;
    }
}

TEST(Reverb, TheHighFrequencyRatioDarkensTheTail) {
    // Share of the late tail's energy above about 5 kHz: a first difference
    // passes the top of the band and little else.
    auto highShare = [](float ratio) {
        auto fx = reverb(0, 0, 1500, ratio);
        auto tail = impulseTail(*fx, 0.6);
        std::vector<float> late(tail.begin() + kRate / 5, tail.end());
        std::vector<float> edges(late.size() - 1);
        for (size_t i = 1; i < late.size(); ++i) edges[i - 1] = late[i] - late[i - 1];
        return tone::rms(tone::channelOf(edges, 1)) / tone::rms(tone::channelOf(late, 1));
    };
    double dark = highShare(0.05f), medium = highShare(0.3f), bright = highShare(0.999f);
    EXPECT_LT(dark, medium);
    EXPECT_LT(medium, bright);
    EXPECT_LT(tone::toDb(dark / bright), -10);
}

TEST(Reverb, MixAndInputGainScaleTheTail) {
    auto tailLevel = [](float inGain, float mix) {
        auto fx = reverb(inGain, mix, 1000, 0.5f);
        return tone::rms(tone::channelOf(impulseTail(*fx, 0.5), 1));
    };
    double full = tailLevel(0, 0);
    EXPECT_NEAR(tone::toDb(tailLevel(0, -12) / full), -12, 0.1);
    EXPECT_NEAR(tone::toDb(tailLevel(-6, 0) / full), -6, 0.1);
    EXPECT_LT(tone::toDb(tailLevel(-96, 0) / full), -90);
}

TEST(Reverb, TheTailIsAboutAsLoudAsTheSignalForAnyTime) {
    // Steady noise in, full mix: the wet part stays within a few dB of the
    // dry one for short and long reverbs alike.
    for (float timeMs : {100.0f, 1000.0f, 3000.0f}) {
        auto fx = reverb(0, 0, timeMs, 0.999f);
        auto in = noise(3, 1);
        auto out = in;
        fx->process(out.data(), out.size(), 1);
        std::vector<float> wet(in.size());
        for (size_t i = 0; i < in.size(); ++i) wet[i] = out[i] - in[i];
        double db = tone::toDb(tone::rms(tone::channelOf(wet, 1, 0, 2 * kRate)) / tone::rms(tone::channelOf(in, 1)));
        EXPECT_NEAR(db, 0, 3) << timeMs;
    }
}

TEST(Reverb, StereoTailsDiffer) {
    auto fx = reverb(0, 0, 1000, 0.5f);
    auto tail = impulseTail(*fx, 0.5, 2);
    double both = 0, left = 0, right = 0;
    for (size_t i = 0; i < tail.size(); i += 2) {
        both += double(tail[i]) * tail[i + 1];
        left += double(tail[i]) * tail[i];
        right += double(tail[i + 1]) * tail[i + 1];
    }
    EXPECT_GT(left, 0);
    EXPECT_LT(std::abs(both) / std::sqrt(left * right), 0.5);
}

TEST(Reverb, HandlesOneToEightChannelsAndLeavesMoreDry) {
    auto fx = reverb(0, 0, 500, 0.5f);
    for (int channels : {1, 2, 3, 8, 10}) {
        SCOPED_TRACE(channels);
        auto in = sine(440, 0.5, channels);
        auto out = in;
        fx->process(out.data(), out.size() / static_cast<size_t>(channels), channels);
        for (int c = 0; c < channels; ++c) {
            bool changed = false;
            for (size_t i = static_cast<size_t>(c); i < in.size(); i += static_cast<size_t>(channels))
                changed = changed || out[i] != in[i];
            EXPECT_EQ(changed, c < 8) << c;
        }
    }
}

TEST(Reverb, ChangesWhilePlayingStayFiniteAndDoNotClick) {
    // A 440 Hz tone while every parameter jumps at random every 700 frames.
    auto fx = reverb(0, -96, 1000, 0.5f);
    auto samples = sine(440, 2, 2);
    size_t frames = samples.size() / 2;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(0, 1);
    for (size_t at = 0; at < frames; at += 700) {
        BASS_DX8_REVERB p = {-96 * unit(random) * unit(random), (at / 700) % 2 ? 0.0f : -96.0f,
                             0.001f + 3000 * unit(random), 0.001f + 0.998f * unit(random)};
        ASSERT_TRUE(fx->setParameters(&p));
        fx->process(samples.data() + at * 2, std::min<size_t>(700, frames - at), 2);
    }
    for (float v : samples) ASSERT_TRUE(std::isfinite(v));
    for (int c = 0; c < 2; ++c) {
        // After the tone's own start, nothing but gliding 440 Hz: the corners
        // of the glides stay under 0.001, while a jump of 1% of the tone's
        // level (0.0025) would show as three times that.
        auto ch = tone::channelOf(samples, 2, c, kRate / 10);
        EXPECT_LT(tone::largestClick(ch), 0.002) << c;
        EXPECT_LT(tone::peak(ch), 1.0) << c;
    }
}

TEST(Reverb, SilenceAfterSoundStaysFiniteAndFadesOut) {
    // A short reverb falls through the whole float range in the silence.
    auto fx = reverb(0, 0, 200, 0.999f);
    auto samples = noise(0.5, 2);
    samples.resize(samples.size() + 2 * 5 * kRate, 0.0f);
    fx->process(samples.data(), samples.size() / 2, 2);
    for (float v : samples) ASSERT_TRUE(std::isfinite(v));
    EXPECT_LT(tone::peak(tone::channelOf(samples, 2, 0, samples.size() / 2 - kRate)), 1e-6);
}

TEST(EffectFactory, MakesTheTwoEffectTypesOnly) {
    EXPECT_NE(createEffect(BASS_FX_DX8_PARAMEQ, 44100), nullptr);
    EXPECT_NE(createEffect(BASS_FX_DX8_REVERB, 48000), nullptr);
    EXPECT_EQ(createEffect(0, 44100), nullptr);
    EXPECT_EQ(createEffect(9, 44100), nullptr);
    EXPECT_EQ(createEffect(BASS_FX_DX8_PARAMEQ, 0), nullptr);
    EXPECT_EQ(createEffect(BASS_FX_DX8_REVERB, -1), nullptr);
}

}  // namespace
