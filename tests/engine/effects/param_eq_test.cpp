#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "engine/bass.h"
#include "engine/effects/effects.h"
#include "tests/support/tone_analysis.h"

using engine::fx::createEffect;
using engine::fx::Effect;

namespace {

constexpr int kRate = 44100;

std::vector<float> sine(double frequency, double seconds, int channels = 1, double amplitude = 0.25, int rate = kRate) {
    size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> out(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = static_cast<float>(
                amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
    return out;
}

std::unique_ptr<Effect> band(float centre, float bandwidth, float gain, int rate = kRate) {
    auto eq = createEffect(BASS_FX_DX8_PARAMEQ, rate);
    BASS_DX8_PARAMEQ p = {centre, bandwidth, gain};
    EXPECT_TRUE(eq->setParameters(&p));
    return eq;
}

// Gain in dB the band gives a tone of `frequency`, measured after it settled.
double measuredGainDb(Effect& eq, double frequency, int rate = kRate) {
    auto samples = sine(frequency, 1, 1, 0.25, rate);
    eq.process(samples.data(), samples.size(), 1);
    auto settled = tone::channelOf(samples, 1, 0, samples.size() / 2);
    return tone::toDb(tone::amplitudeAt(settled, frequency, rate) / 0.25);
}

BASS_DX8_PARAMEQ parametersOf(const Effect& eq) {
    BASS_DX8_PARAMEQ p;
    eq.getParameters(&p);
    return p;
}

TEST(ParamEq, GainAtTheCentreIsTheSetGain) {
    for (float centre : {125.0f, 1000.0f, 10000.0f})
        for (float bandwidth : {12.0f, 18.0f})
            for (float gain : {10.0f, -10.0f, 0.0f, 15.0f, -15.0f}) {
                SCOPED_TRACE(testing::Message() << centre << " Hz, " << bandwidth << " st, " << gain << " dB");
                auto eq = band(centre, bandwidth, gain);
                EXPECT_NEAR(measuredGainDb(*eq, centre), gain, 0.5);
            }
}

TEST(ParamEq, LeavesFrequenciesFarFromTheCentreAlone) {
    auto eq = band(1000, 12, 10);
    EXPECT_NEAR(measuredGainDb(*band(1000, 12, 10), 100), 0, 1);
    EXPECT_NEAR(measuredGainDb(*band(1000, 12, 10), 10000), 0, 1);
    // Half the bandwidth away the gain is about half (in dB), less further on.
    double nearby = measuredGainDb(*band(1000, 12, 10), 1000 * std::pow(2, 0.5));
    EXPECT_GT(nearby, 3);
    EXPECT_LT(nearby, 7);
    EXPECT_NEAR(measuredGainDb(*band(125, 18, -10), 1000), 0, 1);
    EXPECT_NEAR(measuredGainDb(*band(10000, 18, -10), 1000), 0, 1);
}

TEST(ParamEq, ZeroGainIsTransparent) {
    auto eq = createEffect(BASS_FX_DX8_PARAMEQ, kRate);
    auto in = sine(3000, 0.2, 2);
    auto out = in;
    eq->process(out.data(), out.size() / 2, 2);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_NEAR(out[i], in[i], 1e-6) << i;
}

TEST(ParamEq, DefaultsAndRangesPinnedFromBothSides) {
    auto eq = createEffect(BASS_FX_DX8_PARAMEQ, kRate);
    BASS_DX8_PARAMEQ d = parametersOf(*eq);
    EXPECT_FLOAT_EQ(d.fCenter, 8000);
    EXPECT_FLOAT_EQ(d.fBandwidth, 12);
    EXPECT_FLOAT_EQ(d.fGain, 0);

    float nan = std::numeric_limits<float>::quiet_NaN();
    BASS_DX8_PARAMEQ good = {1000, 18, 5};
    ASSERT_TRUE(eq->setParameters(&good));
    // A third of 44100 Hz is 14700 Hz.
    for (BASS_DX8_PARAMEQ bad : std::vector<BASS_DX8_PARAMEQ>{{79.9f, 12, 0},
                                                              {14701, 12, 0},
                                                              {nan, 12, 0},
                                                              {1000, 0.99f, 0},
                                                              {1000, 36.01f, 0},
                                                              {1000, nan, 0},
                                                              {1000, 12, 15.01f},
                                                              {1000, 12, -15.01f},
                                                              {1000, 12, nan}}) {
        EXPECT_FALSE(eq->setParameters(&bad)) << bad.fCenter << " " << bad.fBandwidth << " " << bad.fGain;
        BASS_DX8_PARAMEQ now = parametersOf(*eq);
        EXPECT_EQ(now.fCenter, good.fCenter);
        EXPECT_EQ(now.fBandwidth, good.fBandwidth);
        EXPECT_EQ(now.fGain, good.fGain);
    }
    for (BASS_DX8_PARAMEQ edge : std::vector<BASS_DX8_PARAMEQ>{{80, 1, -15}, {14700, 36, 15}}) {
        EXPECT_TRUE(eq->setParameters(&edge)) << edge.fCenter;
    }
    // 16000 Hz is the top, and needs 48 kHz.
    auto wide = createEffect(BASS_FX_DX8_PARAMEQ, 48000);
    BASS_DX8_PARAMEQ top = {16000, 12, 0}, over = {16000.5f, 12, 0};
    EXPECT_TRUE(wide->setParameters(&top));
    EXPECT_FALSE(wide->setParameters(&over));
    // At 22050 Hz a 10 kHz band is refused, and the default centre is lower.
    auto narrow = createEffect(BASS_FX_DX8_PARAMEQ, 22050);
    BASS_DX8_PARAMEQ tenK = {10000, 18, 0};
    EXPECT_FALSE(narrow->setParameters(&tenK));
    EXPECT_LE(parametersOf(*narrow).fCenter, 22050 / 3.0f);
}

TEST(ParamEq, ARefusedChangeLeavesTheSoundAsItWas) {
    auto eq = band(1000, 12, -10);
    BASS_DX8_PARAMEQ bad = {1000, 12, 20};
    EXPECT_FALSE(eq->setParameters(&bad));
    EXPECT_NEAR(measuredGainDb(*eq, 1000), -10, 0.5);
}

// Moves the band between extremes every `period` frames while a tone plays;
// returns the output.
std::vector<float> playWhileChanging(bool moveCentre, size_t period) {
    auto eq = band(1000, 12, -15);
    auto samples = sine(1000, 1, 2);
    size_t frames = samples.size() / 2;
    for (size_t at = 0, n = 0; at < frames; at += period, ++n) {
        BASS_DX8_PARAMEQ p = {moveCentre ? (n % 2 ? 1000.0f : 4000.0f) : 1000.0f, n % 3 ? 12.0f : 3.0f,
                              n % 2 ? 15.0f : -15.0f};
        EXPECT_TRUE(eq->setParameters(&p));
        eq->process(samples.data() + at * 2, std::min(period, frames - at), 2);
    }
    return samples;
}

TEST(ParamEq, ChangesWhilePlayingGlideWithoutClicks) {
    // The steepest a 1 kHz tone at the highest gain can move between samples;
    // a jump in the filter shows as a step far above it.
    double loudest = 0.25 * std::pow(10, 15 / 20.0);
    double smooth = loudest * 2 * std::sin(std::numbers::pi * 1000 / kRate);
    for (bool moveCentre : {false, true})
        for (size_t period : {64, 1000, 4410}) {
            SCOPED_TRACE(testing::Message() << moveCentre << " " << period);
            auto out = playWhileChanging(moveCentre, period);
            for (float v : out) ASSERT_TRUE(std::isfinite(v));
            for (int c = 0; c < 2; ++c) EXPECT_LT(tone::largestStep(tone::channelOf(out, 2, c)), 1.1 * smooth);
        }
}

TEST(ParamEq, EveryChannelIsFilteredOnItsOwnUpToEight) {
    auto eq = band(1000, 12, 10);
    for (int channels : {1, 2, 6, 8, 10}) {
        SCOPED_TRACE(channels);
        auto samples = sine(1000, 0.5, channels);
        // Odd channels silent: no leak from their neighbours.
        for (size_t i = 0; i < samples.size(); ++i)
            if (i % static_cast<size_t>(channels) % 2 == 1) samples[i] = 0;
        auto original = samples;
        eq->process(samples.data(), samples.size() / static_cast<size_t>(channels), channels);
        for (int c = 0; c < channels; ++c) {
            auto settled = tone::channelOf(samples, channels, c, 11025);
            if (c % 2 == 1) {
                EXPECT_EQ(tone::peak(settled), 0) << c;
            } else if (c < 8) {
                EXPECT_NEAR(tone::toDb(tone::amplitudeAt(settled, 1000, kRate) / 0.25), 10, 0.5) << c;
            } else {
                EXPECT_EQ(samples[static_cast<size_t>(c)], original[static_cast<size_t>(c)]) << "beyond 8: untouched";
            }
        }
    }
}

}  // namespace
