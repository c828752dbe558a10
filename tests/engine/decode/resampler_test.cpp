#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "engine/decode/resampler.h"
#include "tests/support/tone_analysis.h"

using engine::decode::Resampler;

namespace {

// Channel c carries a sine of frequencies[c].
std::vector<float> tones(const std::vector<double>& frequencies, int rate, double seconds, double amplitude = 0.5) {
    size_t frames = static_cast<size_t>(seconds * rate);
    size_t channels = frequencies.size();
    std::vector<float> out(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < channels; ++c)
            out[i * channels + c] = static_cast<float>(
                amplitude * std::sin(2 * std::numbers::pi * frequencies[c] * static_cast<double>(i) / rate));
    return out;
}

std::vector<float> convert(const std::vector<float>& in, int from, int to, int channels, size_t block) {
    Resampler r(from, to, channels);
    std::vector<float> out;
    size_t frames = in.size() / static_cast<size_t>(channels);
    for (size_t at = 0; at < frames; at += block)
        r.process(in.data() + at * static_cast<size_t>(channels), std::min(block, frames - at), out);
    r.flush(out);
    return out;
}

TEST(Resampler, UpsamplingKeepsFrequencyLevelAndLengthRatio) {
    auto in = tones({1000, 3000}, 44100, 2);
    auto out = convert(in, 44100, 48000, 2, 4096);
    EXPECT_NEAR(static_cast<double>(out.size() / 2), 2 * 48000, 2);
    for (int c = 0; c < 2; ++c) {
        double f = c == 0 ? 1000 : 3000;
        auto middle = tone::channelOf(out, 2, c, 4800, 4800 + 48000);
        EXPECT_NEAR(tone::zeroCrossingFrequency(middle, 48000), f, 0.5);
        EXPECT_NEAR(tone::toDb(tone::amplitudeAt(middle, f, 48000) / 0.5), 0, 0.1);
        // Each channel keeps its own tone.
        EXPECT_LT(tone::amplitudeAt(middle, c == 0 ? 3000 : 1000, 48000), 1e-3);
    }
}

TEST(Resampler, BlockSizeDoesNotChangeTheResult) {
    auto in = tones({440, 5000}, 44100, 0.5);
    auto whole = convert(in, 44100, 48000, 2, in.size());
    for (size_t block : {1, 7, 100, 1000}) {
        auto pieces = convert(in, 44100, 48000, 2, block);
        ASSERT_EQ(pieces.size(), whole.size()) << block;
        double worst = 0;
        for (size_t i = 0; i < whole.size(); ++i) worst = std::max(worst, std::abs(double(pieces[i]) - whole[i]));
        EXPECT_LT(worst, 1e-6) << block;
    }
}

TEST(Resampler, DownsamplingRemovesWhatTheNewRateCannotCarry) {
    auto low = convert(tones({1000}, 48000, 1), 48000, 22050, 1, 512);
    auto high = convert(tones({15000}, 48000, 1), 48000, 22050, 1, 512);
    EXPECT_NEAR(static_cast<double>(low.size()), 22050, 2);
    auto middle = [](const std::vector<float>& v) { return tone::channelOf(v, 1, 0, 2205, 2205 + 11025); };
    EXPECT_NEAR(tone::toDb(tone::amplitudeAt(middle(low), 1000, 22050) / 0.5), 0, 0.1);
    EXPECT_LT(tone::toDb(tone::rms(middle(high)) / 0.5), -60);
}

TEST(Resampler, EqualRatesPassThroughUnchanged) {
    auto in = tones({1000, 2000, 3000}, 44100, 0.1);
    Resampler r(44100, 44100, 3);
    std::vector<float> out;
    r.process(in.data(), in.size() / 3, out);
    EXPECT_TRUE(out == in);
    r.flush(out);
    EXPECT_EQ(out.size(), in.size());
    EXPECT_EQ(r.inRate(), 44100);
    EXPECT_EQ(r.outRate(), 44100);
    EXPECT_EQ(r.channels(), 3);
}

TEST(Resampler, EightChannelsEachKeepTheirTone) {
    std::vector<double> f = {300, 500, 700, 1100, 1300, 1700, 1900, 2300};
    auto out = convert(tones(f, 32000, 1), 32000, 48000, 8, 333);
    ASSERT_NEAR(static_cast<double>(out.size() / 8), 48000, 2);
    for (int c = 0; c < 8; ++c)
        EXPECT_NEAR(tone::zeroCrossingFrequency(tone::channelOf(out, 8, c, 4800, 4800 + 24000), 48000), f[c], 0.5);
}

TEST(Resampler, RefusesNonsense) {
    EXPECT_THROW(Resampler(0, 48000, 2), std::invalid_argument);
    EXPECT_THROW(Resampler(44100, -1, 2), std::invalid_argument);
    EXPECT_THROW(Resampler(44100, 48000, 0), std::invalid_argument);
}

}  // namespace
