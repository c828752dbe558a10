// What the device really receives: SDL's "disk" driver writes the mixed
// output, in the opened format and at real time, to a file we analyse. A
// tone streamed from the scripted server must come out at its frequency and
// level; volume, master volume and pause must act on it.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/bass.h"
#include "tests/support/disk_output.h"
#include "tests/support/fixtures.h"
#include "tests/support/stream_server.h"
#include "tests/support/tone_analysis.h"

namespace {

class Capture : public test::DiskOutputTest {
protected:
    void SetUp() override {
        test::DiskOutputTest::SetUp();
        if (HasFatalFailure()) return;
        BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);

        fixtures::Tone tone{.frequency = 1000, .rate = 44100, .channels = 2, .seconds = 4, .amplitude = 0.5};
        std::string mp3 = dir_.file("tone.mp3");
        fixtures::writeBytes(mp3, fixtures::makeMp3(tone, 128));
        ASSERT_TRUE(server_.route(R"({"path": "/tone", "headers": ["Content-Type: audio/mpeg"],
            "body": [{"file": ")" +
                                  mp3 + R"("}], "loop": true})"));
    }

    // The output from `from` seconds after frame `mark` to `to` seconds after
    // it, once the device has written that far.
    std::vector<float> segment(size_t mark, double from, double to) {
        return outputFrames(mark + size_t(from * rate_), mark + size_t(to * rate_));
    }

    double amplitude(const std::vector<float>& samples, int channel = 0) {
        return tone::amplitudeAt(tone::channelOf(samples, channels_, channel), 1000, rate_);
    }

    test::StreamServer server_;
};

TEST_F(Capture, StreamedToneComesOutAtItsFrequencyAndLevel) {
    EXPECT_EQ(rate_, 44100);
    EXPECT_EQ(channels_, 2);
    HSTREAM stream = BASS_StreamCreateURL(server_.url("/tone").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    size_t start = framesOut();
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    auto played = segment(start, 0.3, 1.3);
    for (int side = 0; side < 2; ++side) {
        SCOPED_TRACE(side);
        auto ch = tone::channelOf(played, channels_, side);
        EXPECT_NEAR(tone::zeroCrossingFrequency(ch, rate_), 1000.0, 2.0);
        EXPECT_NEAR(amplitude(played, side), 0.5, 0.03);
        EXPECT_NEAR(tone::peak(ch), 0.5, 0.05);
    }
    // The meter agrees with what is heard.
    EXPECT_NEAR(double(BASS_ChannelGetLevel(stream) & 0xFFFF), 0.5 * 32768, 2000);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(Capture, VolumesScaleAndPauseSilences) {
    HSTREAM stream = BASS_StreamCreateURL(server_.url("/tone").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    double full = amplitude(segment(framesOut(), 0.3, 0.8));
    ASSERT_GT(full, 0.4);

    ASSERT_TRUE(BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, 0.5f));
    double half = amplitude(segment(framesOut(), 0.2, 0.7));
    EXPECT_NEAR(half / full, 0.5, 0.02);
    EXPECT_NEAR(tone::toDb(half / full), -6.02, 0.4);

    ASSERT_TRUE(BASS_SetVolume(0.5f));
    double quarter = amplitude(segment(framesOut(), 0.2, 0.7));
    EXPECT_NEAR(quarter / full, 0.25, 0.015) << "the master volume applies on top";
    ASSERT_TRUE(BASS_SetVolume(1.0f));

    ASSERT_TRUE(BASS_ChannelPause(stream));
    auto paused = segment(framesOut(), 0.2, 0.7);
    EXPECT_EQ(tone::peak(tone::channelOf(paused, channels_, 0)), 0.0);
    EXPECT_EQ(tone::peak(tone::channelOf(paused, channels_, 1)), 0.0);
    EXPECT_EQ(BASS_ChannelGetLevel(stream), 0u);

    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    auto resumed = segment(framesOut(), 0.2, 0.7);
    EXPECT_NEAR(amplitude(resumed) / full, 0.5, 0.02) << "resumes at the volume it had";
    EXPECT_NEAR(tone::zeroCrossingFrequency(tone::channelOf(resumed, channels_, 0), rate_), 1000.0, 2.0);
    EXPECT_TRUE(BASS_StreamFree(stream));

    auto freed = segment(framesOut(), 0.2, 0.5);
    EXPECT_EQ(tone::peak(tone::channelOf(freed, channels_, 0)), 0.0) << "a freed stream is silent";
}

TEST_F(Capture, EqualiserCutsTheToneItIsTunedTo) {
    HSTREAM stream = BASS_StreamCreateURL(server_.url("/tone").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    HFX band = BASS_ChannelSetFX(stream, BASS_FX_DX8_PARAMEQ, 0);
    ASSERT_NE(band, 0u);
    BASS_DX8_PARAMEQ eq{1000.0f, 18.0f, 0.0f};
    ASSERT_TRUE(BASS_FXSetParameters(band, &eq));
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    double flat = amplitude(segment(framesOut(), 0.3, 0.8));
    eq.fGain = -12.0f;
    ASSERT_TRUE(BASS_FXSetParameters(band, &eq));
    double cut = amplitude(segment(framesOut(), 0.2, 0.7));
    EXPECT_NEAR(tone::toDb(cut / flat), -12.0, 0.5);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

}  // namespace
