// The mix pipeline without a device: channels read from their buffers, run
// their effects and volume, meter, and sum into the output format.
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/channel.h"
#include "engine/core/level_meter.h"
#include "engine/core/mixer.h"
#include "engine/core/pcm_buffer.h"
#include "tests/support/tone_analysis.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;

std::vector<float> sine(double hz, float amplitude, int frames, int channels, double phase = 0) {
    std::vector<float> out(size_t(frames) * channels);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            out[size_t(f) * channels + c] = amplitude * float(std::sin(2 * std::numbers::pi * hz * f / kRate + phase));
    return out;
}

std::shared_ptr<engine::Channel> makeChannel(int channels, DWORD flags = 0, size_t prebuf = 0) {
    auto channel = std::make_shared<engine::Channel>(flags, kRate, "test://tone", size_t(kRate) * 4, prebuf);
    channel->setFormat({kRate, channels, BASS_CTYPE_STREAM_MP3});
    return channel;
}

// Renders `frames` frames of the mixer's stereo output.
std::vector<float> render(engine::Mixer& mixer, int frames) {
    std::vector<float> out(size_t(frames) * mixer.channels());
    for (int done = 0; done < frames; done += kBlock)
        mixer.render(out.data() + size_t(done) * mixer.channels(), std::min(kBlock, frames - done));
    return out;
}

TEST(PcmBuffer, AnyChunkingGivesBackTheSameSamples) {
    auto input = sine(440, 0.8f, 3000, 2);
    for (size_t chunk : {1u, 7u, 13u, 16u, 17u, 500u}) {
        engine::PcmBuffer buffer(1000, 2, false);  // smaller than the input: it wraps
        std::vector<float> output;
        size_t written = 0;
        std::vector<float> piece(chunk * 2);
        while (output.size() < input.size()) {
            size_t want = std::min(chunk, input.size() / 2 - written);
            written += buffer.write(input.data() + written * 2, want);
            size_t got = buffer.read(piece.data(), chunk);
            output.insert(output.end(), piece.begin(), piece.begin() + got * 2);
        }
        EXPECT_EQ(output, input) << "chunk " << chunk;
    }
}

TEST(PcmBuffer, RefusesWhatDoesNotFitAndReportsFill) {
    engine::PcmBuffer buffer(100, 1, false);
    std::vector<float> data(150, 0.25f);
    EXPECT_EQ(buffer.write(data.data(), 150), 100u);
    EXPECT_EQ(buffer.space(), 0u);
    EXPECT_EQ(buffer.available(), 100u);
    EXPECT_EQ(buffer.read(data.data(), 30), 30u);
    EXPECT_EQ(buffer.space(), 30u);
    EXPECT_EQ(buffer.write(data.data(), 50), 30u);
}

TEST(PcmBuffer, EightBitStorageKeepsOnly256Levels) {
    engine::PcmBuffer buffer(1000, 1, true);
    auto input = sine(1000, 0.9f, 1000, 1);
    ASSERT_EQ(buffer.write(input.data(), 1000), 1000u);
    std::vector<float> output(1000);
    ASSERT_EQ(buffer.read(output.data(), 1000), 1000u);
    double worst = 0;
    for (size_t i = 0; i < output.size(); ++i) {
        float steps = output[i] * 127.0f;
        EXPECT_NEAR(steps, std::round(steps), 1e-4) << "sample " << i << " is not on an 8-bit step";
        worst = std::max(worst, double(std::fabs(output[i] - input[i])));
    }
    EXPECT_LE(worst, 0.5 / 127 + 1e-6);
    EXPECT_GT(worst, 1e-4) << "a sine cannot pass 8 bits unchanged";
}

TEST(LevelMeter, PeakOfTheLatestTwentyMilliseconds) {
    engine::LevelMeter meter(kRate);
    auto loud = sine(1000, 0.5f, kRate / 10, 2);
    meter.add(loud.data(), kRate / 10, 2);
    EXPECT_NEAR(meter.level() & 0xFFFF, 0.5 * 32768, 80);
    EXPECT_NEAR(meter.level() >> 16, 0.5 * 32768, 80);
    // 10 ms of silence: the loud part is still within the window.
    std::vector<float> silence(size_t(kRate) / 50 * 2, 0.0f);
    meter.add(silence.data(), kRate / 100, 2);
    EXPECT_GT(meter.level() & 0xFFFF, 16000u);
    meter.add(silence.data(), kRate / 50, 2);
    EXPECT_EQ(meter.level(), 0u);
    // Sides are measured apart; full scale reads 32768.
    std::vector<float> sides;
    for (int f = 0; f < kRate / 50; ++f) sides.insert(sides.end(), {1.0f, -0.25f});
    meter.add(sides.data(), kRate / 50, 2);
    EXPECT_EQ(meter.level() & 0xFFFF, 32768u);
    EXPECT_EQ(meter.level() >> 16, 8192u);
}

TEST(Mixer, MapsChannelCountsToTheOutput) {
    std::vector<float> mono{0.5f, -0.25f};
    std::vector<float> stereoOut(4, 0.0f);
    engine::addMapped(mono.data(), 1, stereoOut.data(), 2, 2);
    EXPECT_EQ(stereoOut, (std::vector<float>{0.5f, 0.5f, -0.25f, -0.25f}));

    std::vector<float> stereo{0.5f, 0.25f, -1.0f, 0.0f};
    std::vector<float> monoOut(2, 0.0f);
    engine::addMapped(stereo.data(), 2, monoOut.data(), 1, 2);
    EXPECT_EQ(monoOut, (std::vector<float>{0.375f, -0.5f}));

    std::vector<float> six{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    std::vector<float> sum{1.0f, 1.0f};
    engine::addMapped(six.data(), 6, sum.data(), 2, 1);
    EXPECT_FLOAT_EQ(sum[0], 1.1f);
    EXPECT_FLOAT_EQ(sum[1], 1.2f);
}

TEST(Mixer, SumsChannelsAndAppliesMasterVolume) {
    engine::Mixer mixer(kRate, 2, kBlock);
    auto a = makeChannel(2);
    auto b = makeChannel(1);
    auto toneA = sine(1000, 0.4f, kRate, 2);
    auto toneB = sine(3000, 0.4f, kRate, 1);
    ASSERT_TRUE(a->write(toneA.data(), kRate));
    ASSERT_TRUE(b->write(toneB.data(), kRate));
    a->play();
    b->play();
    mixer.add(a);
    mixer.add(b);
    auto out = render(mixer, kRate / 4);
    EXPECT_GT(mixer.cpuPercent(), 0.0f);
    auto left = tone::channelOf(out, 2, 0);
    EXPECT_NEAR(tone::amplitudeAt(left, 1000, kRate), 0.4, 0.01);
    EXPECT_NEAR(tone::amplitudeAt(left, 3000, kRate), 0.4, 0.01) << "mono reaches both sides";
    EXPECT_NEAR(tone::amplitudeAt(tone::channelOf(out, 2, 1), 3000, kRate), 0.4, 0.01);

    mixer.setMasterVolume(0.25f);
    out = render(mixer, kRate / 4);
    // Past the 5 ms ramp, everything is a quarter.
    auto settled = tone::channelOf(out, 2, 0, kRate / 100);
    EXPECT_NEAR(tone::amplitudeAt(settled, 1000, kRate), 0.1, 0.005);
    EXPECT_NEAR(tone::amplitudeAt(settled, 3000, kRate), 0.1, 0.005);
    EXPECT_LT(tone::largestStep(tone::channelOf(out, 2, 0)), 0.3) << "the volume change ramps";

    mixer.remove(a.get());
    mixer.remove(b.get());
    out = render(mixer, kBlock);
    EXPECT_EQ(tone::peak(tone::channelOf(out, 2, 0)), 0.0);
    EXPECT_EQ(mixer.cpuPercent(), 0.0f) << "no channel, no load: not the last stream's average";
}

TEST(Mixer, ClipsTheSumToFullScale) {
    engine::Mixer mixer(kRate, 2, kBlock);
    std::vector<float> high(size_t(kBlock) * 2), low(size_t(kBlock) * 2);
    for (int f = 0; f < kBlock; ++f) {
        high[2 * f] = 0.7f, high[2 * f + 1] = -0.7f;
        low[2 * f] = 0.2f, low[2 * f + 1] = -0.2f;
    }
    for (auto* data : {&high, &high, &low}) {
        auto channel = makeChannel(2);
        ASSERT_TRUE(channel->write(data->data(), kBlock));
        channel->play();
        mixer.add(channel);
    }
    auto out = render(mixer, kBlock);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], -1.0f);
}

TEST(Channel, VolumeScalesTheToneAndTheLevel) {
    engine::Mixer mixer(kRate, 2, kBlock);
    auto channel = makeChannel(2);
    auto tone = sine(1000, 0.8f, kRate * 2, 2);
    ASSERT_TRUE(channel->write(tone.data(), kRate * 2));
    channel->setVolume(0.5f);
    channel->play();
    mixer.add(channel);
    auto out = render(mixer, kRate / 2);
    EXPECT_NEAR(tone::amplitudeAt(tone::channelOf(out, 2, 0), 1000, kRate), 0.4, 0.01)
        << "the first volume applies from the first sample";
    EXPECT_NEAR(channel->level() & 0xFFFF, 0.4 * 32768, 300);
    EXPECT_NEAR(channel->level() >> 16, 0.4 * 32768, 300);

    channel->setVolume(1.0f);
    out = render(mixer, kRate / 2);
    EXPECT_NEAR(tone::amplitudeAt(tone::channelOf(out, 2, 0, kRate / 100), 1000, kRate), 0.8, 0.01);
    EXPECT_LT(tone::largestStep(tone::channelOf(out, 2, 0)), 0.2) << "no click at the change";
}

TEST(Channel, PauseSilencesAndResumesWhereItStopped) {
    engine::Mixer mixer(kRate, 2, kBlock);
    auto channel = makeChannel(1);
    std::vector<float> ramp(kRate);
    for (int i = 0; i < kRate; ++i) ramp[i] = float(i) / kRate;
    ASSERT_TRUE(channel->write(ramp.data(), kRate));
    mixer.add(channel);
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_STOPPED));
    render(mixer, kBlock);
    EXPECT_EQ(channel->buffered(), size_t(kRate)) << "nothing is taken before play";

    channel->play();
    auto out = render(mixer, kBlock);
    EXPECT_EQ(out[2 * (kBlock - 1)], ramp[kBlock - 1]);
    EXPECT_EQ(channel->pause(), BASS_OK);
    EXPECT_EQ(channel->pause(), BASS_ERROR_ALREADY);
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_PAUSED));
    EXPECT_EQ(channel->level(), 0u) << "a paused channel's meter falls to 0 at once";
    out = render(mixer, kBlock);
    EXPECT_EQ(tone::peak(tone::channelOf(out, 2, 0)), 0.0);
    channel->play();
    out = render(mixer, kBlock);
    EXPECT_EQ(out[0], ramp[kBlock]) << "resumes with the next sample";
}

TEST(Channel, StallPlaysSilenceThenResumes) {
    engine::Mixer mixer(kRate, 2, kBlock);
    auto channel = makeChannel(2);
    auto tone = sine(1000, 0.5f, kBlock + kBlock / 2, 2);
    ASSERT_TRUE(channel->write(tone.data(), kBlock + kBlock / 2));
    channel->play();
    mixer.add(channel);
    render(mixer, kBlock);
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_PLAYING));
    auto out = render(mixer, kBlock);
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_STALLED));
    EXPECT_EQ(out[2 * (kBlock - 1)], 0.0f) << "the missing half is silence";
    out = render(mixer, kBlock);
    EXPECT_EQ(tone::peak(tone::channelOf(out, 2, 0)), 0.0);
    EXPECT_FALSE(channel->takeEnded()) << "a stall is not the end";

    ASSERT_TRUE(channel->write(tone.data(), kBlock));
    out = render(mixer, kBlock);
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(out[2], tone[2]);
}

TEST(Channel, EndComesOnceAfterEverythingBufferedWasPlayed) {
    engine::Mixer mixer(kRate, 2, kBlock);
    auto channel = makeChannel(2);
    auto tone = sine(1000, 0.5f, kBlock * 3, 2);
    ASSERT_TRUE(channel->write(tone.data(), kBlock * 3));
    channel->endOfData();
    channel->play();
    mixer.add(channel);
    render(mixer, kBlock * 2);
    EXPECT_FALSE(channel->takeEnded());
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_PLAYING));
    auto out = render(mixer, kBlock);
    EXPECT_EQ(out[2 * (kBlock - 1)], tone[2 * (3 * kBlock - 1)]) << "the last sample is played";
    render(mixer, kBlock);
    EXPECT_TRUE(channel->takeEnded());
    EXPECT_FALSE(channel->takeEnded());
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(channel->level(), 0u);
    channel->play();
    render(mixer, kBlock);
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_STOPPED)) << "an ended stream stays ended";
    EXPECT_FALSE(channel->takeEnded());
}

TEST(Channel, PrebufferHoldsPlayUntilFilled) {
    engine::Mixer mixer(kRate, 2, kBlock);
    auto channel = makeChannel(2, 0, kBlock * 4);
    auto tone = sine(1000, 0.5f, kBlock * 8, 2);
    channel->play();
    mixer.add(channel);
    ASSERT_TRUE(channel->write(tone.data(), kBlock * 3));
    auto out = render(mixer, kBlock);
    EXPECT_EQ(tone::peak(tone::channelOf(out, 2, 0)), 0.0);
    EXPECT_EQ(channel->activity(), DWORD(BASS_ACTIVE_STALLED));
    ASSERT_TRUE(channel->write(tone.data() + kBlock * 3 * 2, kBlock));
    out = render(mixer, kBlock);
    EXPECT_EQ(out[2], tone[2]) << "starts from the first buffered frame";
}

// An effect that marks which one ran when, to see the order.
class Marker : public engine::fx::Effect {
public:
    Marker(std::vector<int>* log, int id) : log_(log), id_(id) {}
    bool setParameters(const void*) override { return true; }
    void getParameters(void*) const override {}
    void process(float* samples, size_t frames, int channels) override {
        log_->push_back(id_);
        for (size_t i = 0; i < frames * size_t(channels); ++i) samples[i] = samples[i] * 0.5f + 0.1f * float(id_);
    }

private:
    std::vector<int>* log_;
    int id_;
};

TEST(Channel, EffectsRunHighestPriorityFirstBeforeVolume) {
    engine::Mixer mixer(kRate, 2, kBlock);
    auto channel = makeChannel(1);
    std::vector<int> log;
    channel->addEffect(101, 0, std::make_unique<Marker>(&log, 1));
    channel->addEffect(102, 5, std::make_unique<Marker>(&log, 2));
    channel->addEffect(103, 0, std::make_unique<Marker>(&log, 3));
    channel->addEffect(104, -2, std::make_unique<Marker>(&log, 4));
    std::vector<float> ones(kBlock, 1.0f);
    ASSERT_TRUE(channel->write(ones.data(), kBlock));
    channel->setVolume(0.5f);
    channel->play();
    mixer.add(channel);
    auto out = render(mixer, kBlock);
    EXPECT_EQ(log, (std::vector<int>{2, 1, 3, 4})) << "equal priorities keep their order";
    float expected = 1.0f;
    for (int id : {2, 1, 3, 4}) expected = expected * 0.5f + 0.1f * float(id);
    EXPECT_FLOAT_EQ(out[0], expected * 0.5f);

    EXPECT_TRUE(channel->removeEffect(102));
    EXPECT_FALSE(channel->removeEffect(102));
    EXPECT_EQ(channel->effectHandles(), (std::vector<DWORD>{101, 103, 104}));
}

TEST(Channel, ClosingReleasesAWriterWaitingForRoom) {
    auto channel = std::make_shared<engine::Channel>(0, kRate, "test://full", 1000, 0);
    channel->setFormat({kRate, 1, BASS_CTYPE_STREAM_MP3});
    std::vector<float> data(5000, 0.1f);
    bool result = true;
    std::thread writer([&] { result = channel->write(data.data(), data.size()); });
    while (channel->buffered() < 1000) std::this_thread::yield();
    channel->close();
    writer.join();
    EXPECT_FALSE(result);
    EXPECT_FALSE(channel->write(data.data(), 1));
}

}  // namespace
