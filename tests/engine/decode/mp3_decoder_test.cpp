#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/bass.h"
#include "engine/decode/decoder.h"
#include "tests/support/decode_chunks.h"
#include "tests/support/fixtures.h"
#include "tests/support/tone_analysis.h"

using engine::decode::AudioFormat;
using engine::decode::makeMp3Decoder;

namespace {

using test::Bytes;
using test::concat;
using test::Decoded;
using test::junk;
using test::slice;

Decoded decodeInChunks(const Bytes& bytes, size_t chunk) {
    auto decoder = makeMp3Decoder();
    Decoded d;
    test::feedInChunks(*decoder, bytes, chunk, d);
    return d;
}

// The last second of both is the same audio (mpg123 may round the last bit
// differently once its buffers sit at other addresses).
bool sameLastSecond(const std::vector<float>& a, const std::vector<float>& b) {
    constexpr size_t n = 2 * 44100;
    if (a.size() < n || b.size() < n) return false;
    return std::equal(a.end() - n, a.end(), b.end() - n, [](float x, float y) { return std::abs(x - y) < 1e-5f; });
}

class Mp3DecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fixtures::Tone t;
        t.seconds = 3;
        tone_ = fixtures::makeMp3(t, 128);
        ASSERT_FALSE(tone_.empty()) << "lame failed";
        clean_ = new Decoded(decodeInChunks(tone_, tone_.size()));
    }
    static void TearDownTestSuite() { delete clean_; }

    static const Decoded& clean() { return *clean_; }
    static Bytes tone_;
    static Decoded* clean_;
};

Bytes Mp3DecoderTest::tone_;
Decoded* Mp3DecoderTest::clean_ = nullptr;

// 128 kbit/s at 44.1 kHz: 417 or 418 bytes a frame.
constexpr size_t kFrameBytes = 417;
constexpr int kFrameSamples = 1152;

TEST_F(Mp3DecoderTest, DecodesTheToneAtItsFrequencyLevelAndLength) {
    const Decoded& d = clean();
    ASSERT_FALSE(d.failed);
    EXPECT_EQ(d.format.rate, 44100);
    EXPECT_EQ(d.format.channels, 2);
    EXPECT_EQ(d.format.ctype, static_cast<uint32_t>(BASS_CTYPE_STREAM_MP3));
    // The encoder adds its delay in front and pads the last frame.
    long frames = static_cast<long>(d.samples.size() / 2);
    EXPECT_GE(frames, 3 * 44100);
    EXPECT_LE(frames, 3 * 44100 + 3 * kFrameSamples);
    for (int channel = 0; channel < 2; ++channel) {
        auto middle = tone::channelOf(d.samples, 2, channel, 4410, 4410 + 44100);
        EXPECT_NEAR(tone::zeroCrossingFrequency(middle, 44100), 1000, 1);
        EXPECT_NEAR(tone::toDb(tone::amplitudeAt(middle, 1000, 44100) / 0.5), 0, 0.5);
        EXPECT_LT(tone::amplitudeAt(middle, 3000, 44100), 0.005);
    }
}

TEST_F(Mp3DecoderTest, AnyChunkingGivesTheSameSamples) {
    for (size_t chunk : {1, 7, 13, 417, 4096}) {
        SCOPED_TRACE(chunk);
        Decoded d = decodeInChunks(tone_, chunk);
        EXPECT_FALSE(d.failed);
        EXPECT_TRUE(d.samples == clean().samples) << d.samples.size() << " vs " << clean().samples.size();
    }
}

TEST_F(Mp3DecoderTest, SkipsJunkBeforeTheFirstFrame) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        Decoded d = decodeInChunks(concat({junk(3000, seed), tone_}), 1000);
        ASSERT_FALSE(d.failed);
        // Everything of the tone comes out; a false frame found in the junk
        // may add a little in front.
        size_t n = clean().samples.size();
        ASSERT_GE(d.samples.size(), n);
        EXPECT_LE(d.samples.size(), n + 2 * 2 * kFrameSamples);
        EXPECT_TRUE(sameLastSecond(clean().samples, d.samples));
    }
}

TEST_F(Mp3DecoderTest, ABurstStartingMidFrameDecodesTheRest) {
    size_t cut = 20 * kFrameBytes + 200;
    Decoded d = decodeInChunks(slice(tone_, cut, tone_.size()), 4096);
    ASSERT_FALSE(d.failed);
    long frames = static_cast<long>(d.samples.size() / 2);
    long expected = static_cast<long>(clean().samples.size() / 2) - 21 * kFrameSamples;
    EXPECT_NEAR(frames, expected, 2 * kFrameSamples);
    EXPECT_NEAR(tone::zeroCrossingFrequency(tone::channelOf(d.samples, 2, 0, 4410, 44100), 44100), 1000, 1);
    EXPECT_TRUE(sameLastSecond(clean().samples, d.samples));
}

TEST_F(Mp3DecoderTest, ResyncsAfterGarbageInTheMiddle) {
    size_t cut = 40 * kFrameBytes + 150;  // about 1 s in, inside a frame
    for (size_t size : {1, 200, 5000, 64 * 1024}) {
        SCOPED_TRACE(size);
        Bytes damaged = concat({slice(tone_, 0, cut), junk(size, 7), slice(tone_, cut, tone_.size())});
        Decoded d = decodeInChunks(damaged, 1024);
        ASSERT_FALSE(d.failed);
        // Up to two frames around the damage are lost, and junk that happens to
        // look like frames may be decoded; then the tone comes back unchanged.
        long lost = static_cast<long>(clean().samples.size() / 2) - static_cast<long>(d.samples.size() / 2);
        EXPECT_LE(lost, 2 * kFrameSamples);
        if (size < 1000) {
            EXPECT_GE(lost, 0);
        }
        EXPECT_TRUE(sameLastSecond(clean().samples, d.samples));
    }
}

TEST_F(Mp3DecoderTest, GivesUpOnlyAfterLongJunk) {
    // Junk with no sync byte, so no false frame can end the run.
    Decoded survives = decodeInChunks(concat({slice(tone_, 0, 20000), junk(400 * 1024, 9, false), tone_}), 4096);
    EXPECT_FALSE(survives.failed);
    EXPECT_GT(survives.samples.size(), clean().samples.size());

    Decoded gaveUp = decodeInChunks(concat({slice(tone_, 0, 20000), junk(700 * 1024, 9, false), tone_}), 4096);
    EXPECT_TRUE(gaveUp.failed);
    auto decoder = makeMp3Decoder();
    Bytes noise = junk(2 * 1024 * 1024, 4);
    decoder->feed(noise.data(), noise.size());
    std::vector<float> out;
    long result = 0;
    for (int i = 0; i < 1000 && result >= 0; ++i) result = decoder->decode(out);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(decoder->decode(out), -1) << "a failed decoder stays failed";
}

TEST_F(Mp3DecoderTest, NeedsMoreUntilFedAndReportsNoFormatBeforeAudio) {
    auto decoder = makeMp3Decoder();
    std::vector<float> out;
    EXPECT_EQ(decoder->decode(out), 0);
    EXPECT_EQ(decoder->format().rate, 0);
    decoder->feed(tone_.data(), 300);
    EXPECT_EQ(decoder->decode(out), 0);
    EXPECT_TRUE(out.empty());
}

TEST(Mp3DecoderFormats, ReportsMonoAndLowRateStreams) {
    fixtures::Tone t;
    t.rate = 22050;
    t.channels = 1;
    t.frequency = 440;
    Bytes mp3 = fixtures::makeMp3(t, 64);
    ASSERT_FALSE(mp3.empty());
    Decoded d = decodeInChunks(mp3, 999);
    ASSERT_FALSE(d.failed);
    EXPECT_EQ(d.format.rate, 22050);
    EXPECT_EQ(d.format.channels, 1);
    EXPECT_NEAR(tone::zeroCrossingFrequency(tone::channelOf(d.samples, 1, 0, 2205, 2205 + 22050), 22050), 440, 1);
}

TEST(Mp3DecoderFormats, AFormatChangeStartsANewCall) {
    fixtures::Tone second;
    second.rate = 22050;
    second.channels = 1;
    second.seconds = 1;
    Bytes a = fixtures::makeMp3(fixtures::Tone{}, 128);
    Bytes b = fixtures::makeMp3(second, 64);
    ASSERT_FALSE(a.empty() || b.empty());
    Decoded d = decodeInChunks(concat({a, b}), 1500);
    ASSERT_FALSE(d.failed);
    long first = 0, later = 0;
    bool switched = false;
    for (const auto& [format, frames] : d.calls) {
        if (format.rate == 22050) switched = true;
        ASSERT_EQ(format.channels, format.rate == 22050 ? 1 : 2);
        EXPECT_FALSE(switched && format.rate == 44100) << "back to the old format";
        (switched ? later : first) += frames;
    }
    // Each file brings its encoder delay and padding, and the second its
    // (silent) information frame: under four frames.
    EXPECT_GE(first, 2 * 44100);
    EXPECT_LE(first, 2 * 44100 + 4 * kFrameSamples);
    EXPECT_GE(later, 22050);
    EXPECT_LE(later, 22050 + 4 * 576);
}

}  // namespace
